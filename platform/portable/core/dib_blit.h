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
