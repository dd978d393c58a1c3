// Palettes from GDI: the stock default palette and the halftone palette that
// GDI makes for the screen.
#include "platform/palette.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/unique_handle.h"

namespace pk::platform {

namespace {

std::vector<PaletteEntry> ReadEntries(HPALETTE palette, uint32_t count) {
  std::vector<PALETTEENTRY> raw(count);
  UINT got = palette ? GetPaletteEntries(palette, 0, count, raw.data()) : 0;
  std::vector<PaletteEntry> out(count);
  for (UINT i = 0; i < got && i < count; ++i) {
    out[i] = {raw[i].peRed, raw[i].peGreen, raw[i].peBlue, raw[i].peFlags};
  }
  return out;
}

}  // namespace

std::vector<PaletteEntry> HalftonePalette() {
  win32::UniqueGdiObject palette;
  {
    // The screen's context is needed only to make the palette.
    win32::WindowDc screen(nullptr);
    if (screen) palette.Reset(CreateHalftonePalette(screen.Get()));
  }
  return ReadEntries(static_cast<HPALETTE>(palette.Get()), 256);
}

std::vector<PaletteEntry> DefaultPaletteEntries(uint32_t count) {
  count = std::min<uint32_t>(count, 20);
  // A stock object: read, never deleted.
  return ReadEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), count);
}

}  // namespace pk::platform
