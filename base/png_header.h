// PNG streams as modern icons carry them: recognised by their signature and
// described from their IHDR chunk, without inflating anything.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "base/result.h"

namespace pk {

struct PngInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;  // bit depth x channels of the colour type
};

enum class PngFault {
  NoSignature,   // not a PNG stream
  NoHeader,      // IHDR is not the first chunk, or is cut short
  HeaderCrc,     // IHDR's CRC does not match: a damaged header
  EmptyOrHuge,   // a side of 0, or beyond the format's 2^31 - 1
  BadDepth,      // a colour type or bit depth the format does not have
};

// True when the bytes begin with the 8-byte PNG signature.
bool HasPngSignature(Bytes bytes);

// The IHDR description of a PNG stream.
Result<PngInfo, PngFault> ReadPngHeader(Bytes bytes);

}  // namespace pk
