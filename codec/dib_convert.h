// Converting a packed DIB to another size and colour depth. The platform
// draws one bitmap onto the other (GDI's BitBlt or StretchBlt in COLORONCOLOR
// mode, or our own engine), so it decides the resampling and colour matching.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "codec/dib.h"

namespace pk {

// The scratch header of a conversion: a 40-byte header, room for 256 colour
// entries and one spare.
inline constexpr uint32_t kConvertScratchSize = 1068;

// Largest target side that a conversion makes; icon images are at most
// 256 pixels on a side.
inline constexpr int32_t kMaxConvertSide = 1024;

// A new packed DIB of `width` x `height` pixels at `bitCount` bits (1, 4, 8,
// 16, 24 or 32): the 1068 bytes of header and colour table (slack behind a
// shorter table), then the pixel rows at DibPixelStart of that header. A
// target of the source's size is copied; otherwise the source is stretched
// onto it when `stretch` is set, else its top left corner is copied. Empty
// when the source is not an uncompressed bottom-up DIB with a 40-byte header
// whose rows it holds, when the target is not one the conversion makes, or
// when memory or bitmaps cannot be had.
PackedDib ConvertDib(Bytes source, int32_t width, int32_t height, uint32_t bitCount, bool stretch);

// Fills the colour table behind the target header at the start of `target`
// (which has room for 256 entries): black and white for 1 bit; for 4 and 8
// bits the source's own table when the source has the same depth, else the
// first 16 colours of the default palette or the 256 of the halftone palette;
// nothing above 8 bits.
void InitDibColorTable(MutableBytes target, Bytes source);

}  // namespace pk
