// Palettes without GDI: the tables a true-colour Windows screen gives.
#include "platform/palette.h"

#include <algorithm>

#include "platform/portable/core/palettes.h"

namespace pk::platform {

std::vector<PaletteEntry> HalftonePalette() {
  const auto& table = portable::HalftonePaletteEntries();
  return {table.begin(), table.end()};
}

std::vector<PaletteEntry> DefaultPaletteEntries(uint32_t count) {
  const auto& table = portable::DefaultPalette();
  count = std::min<uint32_t>(count, uint32_t(table.size()));
  return {table.begin(), table.begin() + count};
}

}  // namespace pk::platform
