#include <gtest/gtest.h>

#include "base/dib_pixels.h"
#include "codec/dib.h"
#include "codec/icon_set.h"
#include "platform/portable/core/icon_decode.h"
#include "tests/support/ico_builder.h"

namespace pk {
namespace {

BitmapInfoHeader Header(int32_t width, uint16_t bits, uint32_t clrUsed = 0, uint16_t planes = 1) {
  BitmapInfoHeader h;
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = 2;
  h.biPlanes = planes;
  h.biBitCount = bits;
  h.biClrUsed = clrUsed;
  return h;
}

TEST(DibHelpers, ColourTableFollowsClrUsedThenDepth) {
  struct Case { uint16_t bits; uint32_t clrUsed; uint32_t count; uint16_t tableSize; } cases[] = {
      {24, 0, 0, 0},     {8, 300, 300, 1200}, {24, 16, 16, 64}, {2, 0, 0, 0},
      {1, 0, 2, 8},      {4, 0, 16, 64},      {8, 0, 256, 1024},
      // 16384 colours and more wrap the 16-bit table size, as pixel rows have always been placed.
      {8, 16384, 16384, 0}, {8, 16385, 16385, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, biClrUsed " << c.clrUsed);
    BitmapInfoHeader h = Header(1, c.bits, c.clrUsed);
    EXPECT_EQ(DibColorCount(h), c.count);
    EXPECT_EQ(DibColorTableSize(h), c.tableSize);
    EXPECT_EQ(DibPixelStart(h), 40u + c.tableSize);
  }
}

TEST(DibHelpers, RowStrideRoundsToWholeWords) {
  struct Case { uint16_t bits; int32_t width; int32_t stride; } cases[] = {
      {1, 1, 4}, {1, 32, 4}, {1, 33, 8}, {4, 16, 8}, {24, 3, 12}, {32, 48, 192}, {8, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, width " << c.width);
    EXPECT_EQ(DibRowStride(Header(c.width, c.bits)), c.stride);
  }
  EXPECT_EQ(DibRowStride(Header(8, 4, 0, 2)), 8);  // planes multiply the depth
}

TEST(DibHelpers, HeaderRoundTripsThroughBytes) {
  BitmapInfoHeader h = Header(-7, 24, 5);
  h.biHeight = -33;
  h.biXPelsPerMeter = 2835;
  uint8_t bytes[40];
  h.Write(bytes);
  auto back = BitmapInfoHeader::Read(Bytes(bytes, 40));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->biWidth, -7);
  EXPECT_EQ(back->biHeight, -33);
  EXPECT_EQ(back->biXPelsPerMeter, 2835);
  EXPECT_EQ(back->biClrUsed, 5u);
  EXPECT_FALSE(BitmapInfoHeader::Read(Bytes(bytes, 39)));
}

TEST(DibLayout, MeasuresIconPartsAndRefusesRowsBeyondTheFormatsArithmetic) {
  BitmapInfoHeader h = Header(32, 4);
  h.biHeight = 64;
  auto parts = MeasureDib(h, DibRows::IconWithMask);
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->pixels, 104u);
  EXPECT_EQ(parts->mask, 616u);
  EXPECT_EQ(parts->end, 744u);
  EXPECT_EQ(parts->rows, 32);
  // The widest rows the signed 32-bit sum still holds, and one pixel more.
  for (int32_t width : {67108863, 67108864}) {
    BitmapInfoHeader wide = Header(width, 32);
    auto measured = MeasureDib(wide, DibRows::Plain);
    const bool fits = int64_t(width) * 32 + 31 <= INT32_MAX;
    ASSERT_EQ(bool(measured), fits) << width;
    if (fits) EXPECT_EQ(int64_t(measured->stride), DibRowStride(wide));
    else EXPECT_EQ(measured.reason(), DibFault::RowTooLong);
  }
  h.biWidth = -1;
  EXPECT_EQ(MeasureDib(h, DibRows::Plain).reason(), DibFault::NegativeSize);
}

TEST(DibPixels, EveryDepthWritesAndReadsBackItsValuesInPlace) {
  for (uint32_t bits : {1u, 4u, 8u, 16u, 24u, 32u}) {
    const uint32_t stride = *DibRowBytes(9, bits);
    std::vector<uint8_t> row(stride, 0);
    const uint32_t mask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (int32_t x = 0; x < 9; ++x) WriteDibPixel(row, x, bits, (0x9E3779B9u * uint32_t(x + 1)) & mask);
    for (int32_t x = 0; x < 9; ++x)
      EXPECT_EQ(ReadDibPixel(row, x, bits), (0x9E3779B9u * uint32_t(x + 1)) & mask) << bits << " bits, x " << x;
    // Outside the row nothing is read or written.
    const int32_t beyond = int32_t(stride * 8 / bits + 1);
    EXPECT_EQ(ReadDibPixel(row, beyond, bits), 0u);
    const std::vector<uint8_t> before = row;
    WriteDibPixel(row, beyond, bits, mask);
    EXPECT_EQ(row, before);
  }
  // The leftmost pixel sits in the high bits of its byte.
  const uint8_t packed[] = {0x80, 0xA5};
  EXPECT_EQ(ReadDibPixel(packed, 0, 1), 1u);
  EXPECT_EQ(ReadDibPixel(Bytes(packed + 1, 1), 0, 4), 0xAu);
  EXPECT_EQ(DirectDibColor(0x7FFF, 16), (DibColor{255, 255, 255, 0}));
  EXPECT_EQ(DirectDibColor(0x80112233u, 32), (DibColor{0x11, 0x22, 0x33, 0x80}));
}

IconSetImage ImageOf(const std::vector<uint8_t>& bytes) {
  IconSetImage image;
  EXPECT_TRUE(image.AssignData(Bytes(bytes.data(), bytes.size())));
  return image;
}

TEST(BindIconImage, PlacesColourAndMaskRows) {
  auto image = ImageOf(test::DibImage(32, 32, 4));
  ASSERT_EQ(image.dataSize, 744u);
  ASSERT_TRUE(BindIconImage(&image));
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 32);
  EXPECT_EQ(image.bitCount, 4u);
  EXPECT_EQ(image.header, image.data.get());
  EXPECT_EQ(image.xorBits - image.data.get(), 104);
  EXPECT_EQ(image.andBits - image.data.get(), 616);
  EXPECT_EQ(image.Header().biHeight, 64);  // the doubled height stays in the bytes
}

TEST(BindIconImage, OddHeightTruncatesAndPlanesMultiply) {
  auto image = ImageOf(test::DibImage(16, 16, 4, {.heightField = 33}));
  ASSERT_TRUE(BindIconImage(&image));
  EXPECT_EQ(image.height, 16);
  auto planar = ImageOf(test::DibImage(8, 8, 4, {.planes = 2}));
  ASSERT_TRUE(BindIconImage(&planar));
  EXPECT_EQ(planar.bitCount, 8u);
}

TEST(BindIconImage, RefusesImagesWhosePartsDoNotFit) {
  std::vector<uint8_t> whole = test::DibImage(32, 32, 8), whole32 = test::DibImage(16, 16, 32);
  struct Case { const char* what; std::vector<uint8_t> bytes; ImageFault fault; } cases[] = {
      {"shorter than a header", std::vector<uint8_t>(whole.begin(), whole.begin() + 39), ImageFault::HeaderSize},
      {"header of 39 bytes", whole, ImageFault::HeaderSize},
      {"header longer than the image", whole, ImageFault::HeaderSize},
      {"colour table cut", std::vector<uint8_t>(whole.begin(), whole.begin() + 500), ImageFault::PartsOutside},
      {"mask cut by one byte", std::vector<uint8_t>(whole.begin(), whole.end() - 1), ImageFault::PartsOutside},
      {"no mask", test::DibImage(32, 32, 8, {.withMask = false}), ImageFault::PartsOutside},
      {"colour table far larger than the bytes", test::DibImage(4, 4, 24, {.clrUsed = 0x12345678, .tableEntries = 0}),
       ImageFault::PartsOutside},
      {"huge width", test::DibImage(1, 1, 32, {}), ImageFault::RowTooLong},
      {"negative height", test::DibImage(4, 4, 8, {.heightField = -8}), ImageFault::NegativeSize},
  };
  StoreU32(cases[1].bytes.data(), 39);
  StoreU32(cases[2].bytes.data(), uint32_t(whole.size() + 1));
  // A width field claiming 2^30 pixels on a one-pixel image.
  StoreU32(cases[7].bytes.data() + 4, 1u << 30);
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto image = ImageOf(c.bytes);
    auto bound = BindIconImage(&image);
    ASSERT_FALSE(bound);
    EXPECT_EQ(bound.reason(), c.fault);
  }
  // The system takes a 32-bit image whose mask is missing or short, but not
  // one whose colour rows are; other depths need their whole mask.
  std::vector<uint8_t> alpha = test::DibImage(16, 16, 32, {.withMask = false});
  struct Fit { const char* what; std::vector<uint8_t> bytes; bool binds; } fits[] = {
      {"32 bits, no mask", alpha, true},
      {"32 bits, mask cut by one byte", std::vector<uint8_t>(whole32.begin(), whole32.end() - 1), true},
      {"32 bits, colour rows cut by one byte", std::vector<uint8_t>(alpha.begin(), alpha.end() - 1), false},
      {"16 bits on 2 planes, no mask", test::DibImage(16, 16, 16, {.planes = 2, .withMask = false}), false},
      {"24 bits, no mask", test::DibImage(16, 16, 24, {.withMask = false}), false},
  };
  for (auto& f : fits) {
    SCOPED_TRACE(f.what);
    auto image = ImageOf(f.bytes);
    ASSERT_EQ(bool(BindIconImage(&image)), f.binds);
    if (f.binds) {
      EXPECT_EQ(image.andBits - image.data.get(), 40 + 16 * 64);
    }
  }
  EXPECT_FALSE(BindIconImage(nullptr));
  IconSetImage empty;
  EXPECT_FALSE(BindIconImage(&empty));
}

// A huge biClrUsed wraps the 16-bit table size; the binding and the portable
// decoder must then both find the rows right behind the short table.
TEST(BindIconImage, DecoderFindsTheRowsWhereBindingDoesBehindAWrappedTable) {
  for (uint32_t clrUsed : {16384u, 16385u, 0x40000001u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(clrUsed);
    BitmapInfoHeader h = Header(2, 24, clrUsed);
    const uint32_t entries = DibColorTableSize(h) / 4;
    auto bytes = test::DibImage(2, 2, 24, {.clrUsed = clrUsed, .tableEntries = entries});
    IconSetImage image;
    ASSERT_TRUE(image.AssignData(Bytes(bytes.data(), bytes.size())));
    ASSERT_TRUE(BindIconImage(&image));
    ASSERT_EQ(image.xorBits - image.data.get(), 40 + entries * 4);
    auto picture = platform::DecodeDibIcon(bytes);
    ASSERT_TRUE(picture);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) {
        const uint8_t* bgr = image.xorBits + (1 - y) * 8 + x * 3;  // rows bottom first
        EXPECT_EQ(picture->pixels[size_t(y) * 2 + x],
                  0xFF000000u | uint32_t(bgr[2]) << 16 | uint32_t(bgr[1]) << 8 | bgr[0]);
      }
  }
}

// Images the binding takes but the decoder cannot show: none, never a guess.
TEST(DecodeDibIcon, RefusesWhatItCannotRead) {
  struct Case { const char* what; std::vector<uint8_t> bytes; } cases[] = {
      {"two planes", test::DibImage(4, 4, 4, {.planes = 2})},
      {"compressed rows", test::DibImage(4, 4, 8)},
      {"2 bits per pixel", test::DibImage(4, 4, 2)},
      {"no pixels", test::DibImage(0, 4, 8)},
      {"header of 39 bytes", test::DibImage(4, 4, 8)},
  };
  StoreU32(cases[1].bytes.data() + 16, 1);  // BI_RLE8
  StoreU32(cases[4].bytes.data(), 39);
  EXPECT_TRUE(platform::DecodeDibIcon(test::DibImage(4, 4, 8)));
  for (const Case& c : cases) EXPECT_FALSE(platform::DecodeDibIcon(c.bytes)) << c.what;
}

TEST(BindIconImage, DescribesPngImagesFromTheirHeader) {
  auto image = ImageOf(test::PngImage(256, 256));
  ASSERT_TRUE(BindIconImage(&image));
  EXPECT_EQ(image.format, ImageFormat::Png);
  EXPECT_EQ(image.width, 256);
  EXPECT_EQ(image.height, 256);
  EXPECT_EQ(image.bitCount, 32u);
  EXPECT_EQ(image.header, nullptr);
  EXPECT_EQ(image.xorBits, nullptr);
  // A PNG signature without a sound IHDR is refused.
  auto png = test::PngImage(4, 4);
  png[15] = 'X';  // chunk type "IHDX"
  auto broken = ImageOf(png);
  EXPECT_FALSE(BindIconImage(&broken));
}

TEST(IconSetRecord, PathFieldsKeepAtMost259Bytes) {
  auto set = NewIconSet(1);
  ASSERT_TRUE(set);
  EXPECT_EQ(set->images.size(), 1u);
  EXPECT_EQ(set->imageCount, 0u);
  std::string longPath(400, 'a');
  SetRecordPath(set->iconFilePath, longPath);
  EXPECT_EQ(std::string(set->iconFilePath), std::string(259, 'a'));
  SetRecordPath(set->moduleFilePath, "Untitled");
  EXPECT_STREQ(set->moduleFilePath, "Untitled");
  // A UTF-8 character that would not fit whole is left out: 258 + "中" (3 bytes).
  SetRecordPath(set->iconFilePath, std::string(258, 'a') + "\xE4\xB8\xAD");
  EXPECT_EQ(std::string(set->iconFilePath), std::string(258, 'a'));
  SetRecordPath(set->iconFilePath, std::string(256, 'a') + "\xE4\xB8\xAD.ico");
  EXPECT_EQ(std::string(set->iconFilePath), std::string(256, 'a') + "\xE4\xB8\xAD");
}

TEST(IconHandleFromImage, MakesIconsOfDibAndPngImages) {
  for (uint16_t bits : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bits);
    auto image = ImageOf(test::DibImage(32, 32, bits));
    ASSERT_TRUE(BindIconImage(&image));
    auto icon = IconHandleFromImage(&image);
    ASSERT_TRUE(icon);
    auto picture = platform::IconPicture(icon.get());
    EXPECT_EQ(picture.width, 32);
    EXPECT_EQ(picture.height, 32);
  }
  auto png = ImageOf(test::PngImage(48, 48));
  ASSERT_TRUE(BindIconImage(&png));
  auto icon = IconHandleFromImage(&png);
  ASSERT_TRUE(icon);
  EXPECT_EQ(platform::IconPicture(icon.get()).width, 48);
  EXPECT_FALSE(IconHandleFromImage(nullptr));
}

TEST(IconHandleFromImage, DrawsColourThroughTheMask) {
  // One red pixel with its mask bit clear (opaque) or set (transparent). A
  // 32-bit image takes its own alpha, unless every alpha is 0: then the mask,
  // and when the mask is missing or short, none at all.
  struct Case { uint16_t bits; uint8_t alpha; uint8_t mask; size_t maskBytes; uint32_t shown; } cases[] = {
      {24, 0, 0x00, 4, 0xFFFF0000u},    {24, 0, 0x80, 4, 0x00000000u},
      {32, 0, 0x00, 4, 0xFFFF0000u},    {32, 0, 0x80, 4, 0x00000000u},
      {32, 0xFF, 0x80, 4, 0xFFFF0000u}, {32, 0xFF, 0x80, 0, 0xFFFF0000u},
      {32, 0, 0x80, 0, 0xFFFF0000u},    {32, 0, 0x80, 3, 0xFFFF0000u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bits, alpha " << int(c.alpha) << ", mask " << int(c.mask)
                                    << " in " << c.maskBytes << " bytes");
    auto bytes = test::DibImage(1, 1, c.bits);
    bytes[40] = 0x00; bytes[41] = 0x00; bytes[42] = 0xFF;  // blue, green, red
    if (c.bits == 32) bytes[43] = c.alpha;
    bytes[44] = c.mask;
    bytes.resize(44 + c.maskBytes);
    auto image = ImageOf(bytes);
    ASSERT_TRUE(BindIconImage(&image));
    auto icon = IconHandleFromImage(&image);
    ASSERT_TRUE(icon);
    auto picture = platform::IconPicture(icon.get());
    ASSERT_EQ(picture.pixels.size(), 1u);
    // A transparent pixel's colour is the system's business.
    if ((c.shown >> 24) == 0)
      EXPECT_EQ(picture.pixels[0] >> 24, 0u);
    else
      EXPECT_EQ(picture.pixels[0], c.shown);
  }
}

}  // namespace
}  // namespace pk
