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
// `sourceInfo` and `targetInfo` each hold a 40-byte BITMAPINFOHEADER
// (uncompressed, positive width and height, 1/4/8/16/24/32 bits, biClrUsed 0)
// followed by its complete colour table (2, 16 or 256 entries up to 8 bits,
// none above). The pixel spans hold exactly the rows of their header, bottom
// row first, each padded to 32-bit words. The caller checks all of that; the
// backends rely on it. False when the graphics system cannot make the bitmaps.
bool RenderDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
               std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
               RenderMode mode);

}  // namespace pk::platform
