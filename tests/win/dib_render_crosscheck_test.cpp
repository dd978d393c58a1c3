// The portable drawing engine against GDI: the same conversions through both,
// compared byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "codec/dib_convert.h"
#include "platform/dib_render.h"
#include "platform/palette.h"
#include "platform/portable/core/dib_blit.h"
#include "platform/portable/core/palettes.h"
#include "tests/support/bmp_builder.h"

namespace pk {
namespace {

using test::ByteVector;
using test::DibPicture;

// The source pictures of the matrix: every depth, with colours chosen so the
// mapping has work to do (for the paletted ones, a table that is not the
// target's), and sizes that are not multiples of a byte or word.
DibPicture MatrixSource(uint16_t bits, int32_t width, int32_t height) {
  DibPicture p;
  p.width = width;
  p.height = height;
  p.bitCount = bits;
  if (bits <= 8) {
    uint32_t n = 1u << bits;
    for (uint32_t i = 0; i < n; ++i) p.colors.push_back((i * 0x9E3779B9u) >> 8);
    if (bits == 1) p.colors = {0x3050F0, 0xF0C020};
    p.pixel = [n](int32_t x, int32_t y) { return uint32_t(x * 7 + y * 13 + x * y) % n; };
  } else {
    p.pixel = [](int32_t x, int32_t y) {
      uint32_t v = uint32_t(x * 0x45D9F3B) ^ uint32_t(y * 0x119DE1F3);
      return v ^ (v >> 13);
    };
  }
  return p;
}

// The target's info block as ConvertDib makes it: header and the colour
// table chosen for this source.
ByteVector TargetInfo(const ByteVector& source, int32_t width, int32_t height, uint16_t bits) {
  std::vector<uint8_t> scratch(kConvertScratchSize, 0);
  StoreU32(scratch.data(), 40);
  StoreI32(scratch.data() + 4, width);
  StoreI32(scratch.data() + 8, height);
  StoreU16(scratch.data() + 12, 1);
  StoreU16(scratch.data() + 14, bits);
  InitDibColorTable(scratch, source);
  size_t entries = bits <= 8 ? (1u << bits) : 0;
  return ByteVector(scratch.begin(), scratch.begin() + long(40 + entries * 4));
}

std::string Describe(uint16_t from, uint16_t to, int sw, int sh, int tw, int th, bool stretch) {
  return std::to_string(from) + "->" + std::to_string(to) + " bits, " + std::to_string(sw) + "x" +
         std::to_string(sh) + " -> " + std::to_string(tw) + "x" + std::to_string(th) +
         (stretch ? " stretched" : " copied");
}

TEST(DibRenderCrossCheck, PalettesMatchTheSystem) {
  auto halftone = platform::HalftonePalette();
  const auto& ours = portable::HalftonePaletteEntries();
  ASSERT_EQ(halftone.size(), 256u);
  for (size_t i = 0; i < 256; ++i) EXPECT_EQ(halftone[i], ours[i]) << "halftone entry " << i;
  auto defaults = platform::DefaultPaletteEntries(20);
  ASSERT_EQ(defaults.size(), 20u);
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(defaults[i], portable::DefaultPalette()[i]) << "default entry " << i;
}

TEST(DibRenderCrossCheck, EveryConversionOfTheMatrixGivesTheSameBytes) {
  const uint16_t depths[] = {1, 4, 8, 16, 24, 32};
  struct Size {
    int32_t sw, sh, tw, th;
  };
  // Same size, smaller, larger, and mixed (one axis shrinks, the other grows),
  // plus the one-pixel targets that StretchBlt treats specially.
  const Size sizes[] = {{13, 11, 13, 11}, {48, 40, 32, 24}, {13, 11, 32, 29},
                        {20, 7, 9, 16},   {5, 6, 1, 1},     {3, 9, 1, 4}};
  int compared = 0, differing = 0;
  for (uint16_t from : depths) {
    for (const Size& size : sizes) {
      ByteVector source = test::PackedDibOf(MatrixSource(from, size.sw, size.sh));
      ByteVector sourceInfo(source.begin(), source.begin() + long(40 + (from <= 8 ? 4u << from : 0)));
      Bytes sourcePixels = Bytes(source).subspan(sourceInfo.size());
      for (uint16_t to : depths) {
        ByteVector targetInfo = TargetInfo(source, size.tw, size.th, to);
        size_t targetBytes = size_t(test::StrideOf(size.tw, to)) * size.th;
        for (bool stretch : {false, true}) {
          auto mode = stretch ? platform::RenderMode::Stretch : platform::RenderMode::Copy;
          ByteVector gdi(targetBytes, 0xCD), ours(targetBytes, 0xCD);
          ASSERT_TRUE(platform::RenderDib(sourceInfo, sourcePixels, targetInfo, gdi, mode));
          ASSERT_TRUE(portable::BlitDib(sourceInfo, sourcePixels, targetInfo, ours, mode));
          ++compared;
          if (gdi != ours) {
            ++differing;
            size_t at = 0;
            while (gdi[at] == ours[at]) ++at;
            ADD_FAILURE() << Describe(from, to, size.sw, size.sh, size.tw, size.th, stretch)
                          << ": first difference at byte " << at << " of " << targetBytes << ": GDI "
                          << int(gdi[at]) << ", ours " << int(ours[at]);
          }
        }
      }
    }
  }
  EXPECT_EQ(compared, 6 * 6 * 6 * 2);
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace pk
