// The two system palettes that the bitmap conversion takes colour tables from:
// the stock default palette and the halftone palette of the screen.
#pragma once

#include <cstdint>
#include <vector>

namespace pk::platform {

// One logical-palette entry (PALETTEENTRY): red, green, blue, flags.
struct PaletteEntry {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t flags = 0;
  friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

// The 256 entries of a halftone palette made for the screen
// (CreateHalftonePalette on the screen's device context).
std::vector<PaletteEntry> HalftonePalette();

// The first `count` entries (at most 20) of the stock DEFAULT_PALETTE.
std::vector<PaletteEntry> DefaultPaletteEntries(uint32_t count);

}  // namespace pk::platform
