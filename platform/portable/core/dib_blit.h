// Our own DIB-to-DIB drawing, for platforms without GDI: the resampling of
// StretchBlt in COLORONCOLOR mode, the clipping of a plain BitBlt, and the
// colour matching of a blit between two DIB sections, reproducing what the
// system does byte for byte (the Windows tests compare the two).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/dib_render.h"

namespace pk::portable {

// A checked description of one side of a blit: a 40-byte BITMAPINFOHEADER
// and the colour table behind it.
struct DibLayout {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  uint32_t stride = 0;                 // bytes per row
  std::span<const uint8_t> colors;     // RGBQUADs: 2^bitCount of them up to 8 bits
  uint64_t PixelBytes() const { return uint64_t(stride) * uint32_t(height); }
};

// The layout of `info`; none unless it is a 40-byte, uncompressed, single-plane
// header of 1, 4, 8, 16, 24 or 32 bits, with a positive size, biClrUsed 0 and
// its whole colour table present.
std::optional<DibLayout> ReadDibLayout(std::span<const uint8_t> info);

// For each target index along one axis, the source index it is taken from
// when `sourceExtent` pixels are stretched onto `targetExtent` in COLORONCOLOR
// mode. Growing repeats the source pixel under each target pixel's centre;
// shrinking drops pixels, keeping the last of each group along a row
// (`keepLast`) and the first of each group down a column, as GDI does.
std::vector<int32_t> StretchIndices(int32_t sourceExtent, int32_t targetExtent, bool keepLast);

// The index of the colour-table entry nearest to (red, green, blue): smallest
// squared distance, the lowest index on a tie.
uint32_t NearestColorIndex(std::span<const uint8_t> colors, uint8_t red, uint8_t green, uint8_t blue);

// The whole drawing: see platform::RenderDib for the contract. False when a
// layout is refused or a pixel span does not match its layout.
bool BlitDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
             std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
             platform::RenderMode mode);

}  // namespace pk::portable
