// The system palettes as a true-colour Windows screen has them, for platforms
// without GDI: the 20-colour stock default palette and the 256-colour halftone
// palette.
#pragma once

#include <array>

#include "platform/palette.h"

namespace pk::portable {

// The stock DEFAULT_PALETTE: the 16 VGA colours and the four "system" extras,
// in the system's order (static colours 0-9, then 10-19); flags 0.
const std::array<platform::PaletteEntry, 20>& DefaultPalette();

// CreateHalftonePalette on a true-colour screen: default colours 0-9, a
// 8 x 8 x 4 grid of red, green and blue levels, then default colours 10-19.
const std::array<platform::PaletteEntry, 256>& HalftonePaletteEntries();

}  // namespace pk::portable
