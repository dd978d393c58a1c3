// PNG decoding for images stored PNG-compressed in modern icons, and PNG
// encoding of decoded pictures (WIC on Windows, libspng elsewhere).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/icon.h"

namespace pk::platform {

// Largest picture either backend will decode; a PNG header claiming more is
// refused before anything is inflated.
inline constexpr uint32_t kMaxPngSide = 4096;

// Decodes a whole PNG stream to 8-bit RGBA (non-premultiplied); none when the
// stream is damaged or larger than kMaxPngSide on a side.
std::optional<RgbaPicture> DecodePng(std::span<const uint8_t> png);

// Encodes a picture as an 8-bit RGBA PNG stream (non-premultiplied alpha, as
// DecodePng gives it); none when the picture is empty or larger than
// kMaxPngSide on a side, or the encoder fails.
std::optional<std::vector<uint8_t>> EncodePng(const RgbaPicture& picture);

// True when EncodePng can take the picture: not empty, within kMaxPngSide,
// and holding width x height pixels.
inline bool IsEncodablePicture(const RgbaPicture& picture) {
  return picture.width > 0 && picture.height > 0 && uint32_t(picture.width) <= kMaxPngSide &&
         uint32_t(picture.height) <= kMaxPngSide &&
         picture.pixels.size() == size_t(picture.width) * size_t(picture.height);
}

}  // namespace pk::platform
