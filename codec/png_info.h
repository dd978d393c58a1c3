// Recognising PNG-compressed icon images and describing them from their header.
#pragma once

#include <cstdint>
#include <optional>

#include "base/bytes.h"

namespace pk {

struct PngInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;  // bit depth x channels of the colour type
};

// True when the bytes begin with the 8-byte PNG signature.
bool HasPngSignature(Bytes bytes);

// The IHDR description of a PNG stream; none when the signature or a sound
// IHDR chunk (length 13, intact CRC, non-zero size, a valid depth for its
// colour type) is missing.
std::optional<PngInfo> ReadPngInfo(Bytes bytes);

}  // namespace pk
