// Decoding icon images to RGBA pictures without the system: the colour rows
// drawn through the 1-bit mask, as the system shows an icon on a plain
// background. Used by the portable icon backend, and by the tests that check
// it against the system's icons under Wine.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/icon.h"

namespace pk::platform {

// Largest side decoded; icons are at most 256 pixels, but a DIB may claim more.
inline constexpr int32_t kMaxDecodedSide = 4096;

// An icon image in the DIB layout (header with doubled height, colour table,
// colour rows, mask rows) of 1, 4, 8, 16, 24 or 32 bits per pixel, decoded to
// RGBA. A 32-bit image with any non-zero alpha takes its alpha channel and
// ignores the mask; one whose mask is missing or short has only its alpha to
// go by, and is opaque when that is all zero. None when the image's parts do
// not fit its bytes.
std::optional<RgbaPicture> DecodeDibIcon(std::span<const uint8_t> bytes);

// The picture resized to width x height by repeating or dropping pixels.
RgbaPicture ScalePicture(const RgbaPicture& picture, int width, int height);

}  // namespace pk::platform
