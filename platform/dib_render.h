// The graphics part of the bitmap conversion: one DIB drawn onto another of a
// chosen size and colour depth, the platform doing the resampling and the
// colour mapping (GDI on Windows, our own engine elsewhere).
#pragma once

#include <cstdint>
#include <span>

namespace pk::platform {

// How the source reaches the target.
enum class RenderMode {
  // BitBlt of a target-sized area from the source's top left corner: the
  // picture is cropped or padded, never scaled. Target pixels that the source
  // does not cover keep the value 0.
  Copy,
  // StretchBlt of the whole source onto the whole target in COLORONCOLOR mode:
  // whole rows and columns are dropped or repeated, never blended.
  Stretch,
};

// Draws `sourcePixels` onto a target whose rows are written to `targetPixels`.
//
// `targetInfo` holds a 40-byte BITMAPINFOHEADER (uncompressed, positive width
// and height, 1/4/8/16/24/32 bits, biClrUsed 0) followed by its complete
// colour table (2, 16 or 256 entries up to 8 bits, none above);
// `targetPixels` exactly its rows, bottom row first, each padded to 32-bit
// words. `sourceInfo` is such a header too, or one whose rows are stored
// otherwise: top row first (negative height), BI_RLE8 or BI_RLE4 with
// biSizeImage the length of the encoded stream in `sourcePixels`, or
// BI_BITFIELDS at 16 or 32 bits in a 108-byte BITMAPV4HEADER whose red, green,
// blue and alpha masks ReadDibFormat accepts. Such sources are first made
// plain the way SetDIBits makes them (bit fields as a 32-bit picture, with the
// alpha mask's channel in the fourth byte; pixels an encoded stream passes
// over stay 0). The caller checks all of that; the backends rely on it. False
// when the graphics system cannot make the bitmaps.
bool RenderDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
               std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
               RenderMode mode);

}  // namespace pk::platform
