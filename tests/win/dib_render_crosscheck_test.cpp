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

// Tally of the conversions compared and of those whose bytes differ.
struct Tally {
  int compared = 0;
  int differing = 0;
};

// The picture through GDI and through the core into a target of every depth
// at tw x th, copied and stretched; a difference is reported with `what`.
void CompareIntoEveryDepth(const DibPicture& picture, int32_t tw, int32_t th, const std::string& what,
                           Tally* tally) {
  ByteVector source = test::PackedDibOf(picture);
  const size_t infoSize = test::HeaderBytesOf(picture) + picture.colors.size() * 4;
  ByteVector sourceInfo(source.begin(), source.begin() + long(infoSize));
  Bytes sourcePixels = Bytes(source).subspan(infoSize);
  for (uint16_t to : {1, 4, 8, 16, 24, 32}) {
    ByteVector targetInfo = TargetInfo(source, tw, th, to);
    size_t targetBytes = size_t(test::StrideOf(tw, to)) * th;
    for (bool stretch : {false, true}) {
      auto mode = stretch ? platform::RenderMode::Stretch : platform::RenderMode::Copy;
      ByteVector gdi(targetBytes, 0xCD), ours(targetBytes, 0xCD);
      const std::string describe =
          what + ", " + Describe(picture.bitCount, to, picture.width, picture.height, tw, th, stretch);
      ASSERT_TRUE(platform::RenderDib(sourceInfo, sourcePixels, targetInfo, gdi, mode)) << describe;
      ASSERT_TRUE(portable::BlitDib(sourceInfo, sourcePixels, targetInfo, ours, mode)) << describe;
      ++tally->compared;
      if (gdi != ours) {
        ++tally->differing;
        size_t at = 0;
        while (gdi[at] == ours[at]) ++at;
        ADD_FAILURE() << describe << ": first difference at byte " << at << " of " << targetBytes << ": GDI "
                      << int(gdi[at]) << ", ours " << int(ours[at]);
      }
    }
  }
}

TEST(DibRenderCrossCheck, EveryConversionOfTheMatrixGivesTheSameBytes) {
  struct Size {
    int32_t sw, sh, tw, th;
  };
  // Same size, smaller, larger, and mixed (one axis shrinks, the other grows),
  // plus the one-pixel targets that StretchBlt treats specially.
  const Size sizes[] = {{13, 11, 13, 11}, {48, 40, 32, 24}, {13, 11, 32, 29},
                        {20, 7, 9, 16},   {5, 6, 1, 1},     {3, 9, 1, 4}};
  Tally tally;
  for (uint16_t from : {1, 4, 8, 16, 24, 32}) {
    for (const Size& size : sizes)
      CompareIntoEveryDepth(MatrixSource(from, size.sw, size.sh), size.tw, size.th, "plain rows", &tally);
  }
  EXPECT_EQ(tally.compared, 6 * 6 * 6 * 2);
  EXPECT_EQ(tally.differing, 0);
}

// Sources stored other than as plain rows: top-down at every depth, bit
// fields of every kind of mask in a V4 header, RLE8 and RLE4 streams both
// clean and damaged. GDI decodes them with SetDIBits; ours must give the
// same bytes through every target.
struct StoredSource {
  std::string name;
  DibPicture picture;
};

std::vector<StoredSource> StoredSources() {
  using test::RleStream;
  std::vector<StoredSource> sources;
  for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    DibPicture p = MatrixSource(bits, 13, 11);
    p.topDown = true;
    sources.push_back({"top-down " + std::to_string(bits) + " bits", p});
  }
  const struct {
    const char* name;
    uint16_t bits;
    std::vector<uint32_t> masks;
  } fields[] = {
      {"5-6-5", 16, {0xF800, 0x7E0, 0x1F, 0}},
      {"5-5-5", 16, {0x7C00, 0x3E0, 0x1F, 0}},
      {"1-5-5-5 alpha", 16, {0x7C00, 0x3E0, 0x1F, 0x8000}},
      {"4-4-4-4 alpha", 16, {0xF00, 0xF0, 0xF, 0xF000}},
      {"3-10-3", 16, {0xE000, 0x1FF8, 0x7, 0}},
      {"2-3-1", 16, {0x30, 0xE, 0x1, 0}},
      {"8-8-8", 32, {0xFF0000, 0xFF00, 0xFF, 0}},
      {"8-8-8-8 alpha", 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
      {"8-8-8 swapped", 32, {0xFF, 0xFF00, 0xFF0000, 0}},
      {"10-10-10-2 alpha", 32, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}},
      {"11-11-10", 32, {0xFFE00000, 0x1FFC00, 0x3FF, 0}},
      {"7-18-7", 32, {0xFE000000, 0x1FFFF80, 0x7F, 0}},
      {"8-12-8-4 alpha", 32, {0xFF000000, 0xFFF000, 0xFF0, 0xF}},
  };
  for (const auto& f : fields) {
    for (bool topDown : {false, true}) {
      DibPicture p = MatrixSource(f.bits, 13, 11);
      p.headerSize = 108;
      p.compression = 3;
      p.masks = f.masks;
      p.topDown = topDown;
      sources.push_back({std::string("bit fields ") + f.name + (topDown ? " top-down" : ""), p});
    }
  }
  // Encoded streams: what an encoder writes, then damage of every kind.
  auto encoded = [](uint16_t bits, int32_t width, int32_t height, ByteVector stream) {
    DibPicture p = MatrixSource(bits, width, height);
    p.compression = bits == 8 ? 1 : 2;
    p.stream = std::move(stream);
    return p;
  };
  for (uint16_t bits : {4, 8}) {
    DibPicture p = MatrixSource(bits, 13, 11);
    const std::string depth = bits == 8 ? "RLE8 " : "RLE4 ";
    sources.push_back({depth + "as encoders write it", encoded(bits, 13, 11, test::RleEncoded(p))});
    const uint8_t v = bits == 8 ? 0x9C : 0x3A;
    // `n` pixels stored as they are: n bytes at 8 bits, n nibbles at 4.
    auto pixels = [bits](uint8_t n) {
      ByteVector data(bits == 8 ? n : (n + 1) / 2);
      for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(0x12 + 0x35 * i);
      return data;
    };
    const std::pair<const char*, ByteVector> damage[] = {
        {"literals at odd places", RleStream().Run(1, v).Literal(5, pixels(5)).Run(3, v).Literal(3, pixels(3))
                                       .EndOfLine().Delta(1, 0).Literal(7, pixels(7)).EndOfBitmap().bytes()},
        {"runs past the row", RleStream().Run(40, v).Run(3, 1).EndOfLine().Run(7, 2).Literal(11, pixels(11))
                                  .EndOfLine().Run(5, 3).EndOfBitmap().bytes()},
        {"deltas", RleStream().Run(2, v).Delta(3, 2).Run(4, 5).Delta(0, 1).Run(1, 6).EndOfLine().Run(2, 7)
                       .Delta(200, 1).Run(3, 8).EndOfLine().Run(1, 9).EndOfBitmap().bytes()},
        {"a delta past the top", RleStream().Run(3, v).EndOfLine().Delta(2, 30).Run(4, 1).EndOfBitmap().bytes()},
        {"ends of line past the top", [&] {
           RleStream s;
           for (int i = 0; i < 14; ++i) s.Run(uint8_t(i + 1), uint8_t(v + i)).EndOfLine();
           return s.EndOfBitmap().bytes();
         }()},
        {"no end of bitmap, a row left open", RleStream().Run(4, v).EndOfLine().Run(3, 1).Literal(3, pixels(3)).bytes()},
        {"no end of bitmap after an end of line", RleStream().Run(4, v).EndOfLine().Run(3, 1).EndOfLine().bytes()},
        {"a literal cut off", RleStream().Run(4, v).EndOfLine().Run(2, 2).Raw({0, 9, 1, 2, 3}).bytes()},
        {"a delta cut off", RleStream().Run(4, v).EndOfLine().Run(2, 2).Raw({0, 2, 5}).bytes()},
        {"a lone byte", RleStream().Run(4, v).Raw({7}).bytes()},
        {"an end of bitmap first", RleStream().EndOfBitmap().Run(4, v).bytes()},
    };
    for (const auto& [name, stream] : damage) sources.push_back({depth + name, encoded(bits, 13, 11, stream)});
  }
  return sources;
}

TEST(DibRenderCrossCheck, StoredLayoutsAreDecodedAsTheSystemDecodesThem) {
  Tally tally;
  for (const StoredSource& s : StoredSources()) {
    for (auto [tw, th] : {std::pair{13, 11}, {8, 6}, {20, 17}}) CompareIntoEveryDepth(s.picture, tw, th, s.name, &tally);
  }
  EXPECT_GT(tally.compared, 1500);
  EXPECT_EQ(tally.differing, 0);
}

}  // namespace
}  // namespace pk
