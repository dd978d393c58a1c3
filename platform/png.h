// PNG decoding for images stored PNG-compressed in modern icons
// (WIC on Windows, libspng elsewhere).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/icon.h"

namespace pk::platform {

// Largest picture either backend will decode; a PNG header claiming more is
// refused before anything is inflated.
inline constexpr uint32_t kMaxPngSide = 4096;

// Decodes a whole PNG stream to 8-bit RGBA (non-premultiplied); none when the
// stream is damaged or larger than kMaxPngSide on a side.
std::optional<RgbaPicture> DecodePng(std::span<const uint8_t> png);

}  // namespace pk::platform
