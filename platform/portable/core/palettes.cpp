#include "platform/portable/core/palettes.h"

namespace pk::portable {

namespace {

constexpr platform::PaletteEntry Rgb(uint32_t rgb) {
  return {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 0};
}

constexpr std::array<platform::PaletteEntry, 20> kDefaultPalette = {
    Rgb(0x000000), Rgb(0x800000), Rgb(0x008000), Rgb(0x808000), Rgb(0x000080),
    Rgb(0x800080), Rgb(0x008080), Rgb(0xC0C0C0), Rgb(0xC0DCC0), Rgb(0xA6CAF0),
    Rgb(0xFFFBF0), Rgb(0xA0A0A4), Rgb(0x808080), Rgb(0xFF0000), Rgb(0x00FF00),
    Rgb(0xFFFF00), Rgb(0x0000FF), Rgb(0xFF00FF), Rgb(0x00FFFF), Rgb(0xFFFFFF),
};

std::array<platform::PaletteEntry, 256> MakeHalftone() {
  std::array<platform::PaletteEntry, 256> table{};
  // The ten static colours at each end are the default palette's, so that a
  // halftone picture keeps the exact system colours.
  for (int i = 0; i < 10; ++i) {
    table[i] = kDefaultPalette[i];
    table[246 + i] = kDefaultPalette[10 + i];
  }
  // Between them, red in steps of 32 varies fastest, then green in steps of
  // 32, then blue in steps of 64.
  for (int i = 10; i < 246; ++i) {
    table[i] = {uint8_t((i & 7) * 32), uint8_t(((i >> 3) & 7) * 32), uint8_t((i >> 6) * 64), 0};
  }
  return table;
}

}  // namespace

const std::array<platform::PaletteEntry, 20>& DefaultPalette() { return kDefaultPalette; }

const std::array<platform::PaletteEntry, 256>& HalftonePaletteEntries() {
  static const std::array<platform::PaletteEntry, 256> table = MakeHalftone();
  return table;
}

}  // namespace pk::portable
