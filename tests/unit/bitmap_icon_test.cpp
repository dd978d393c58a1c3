#include <gtest/gtest.h>

#include "codec/bitmap_icon.h"
#include "codec/bmp_file.h"
#include "codec/dib.h"
#include "codec_messages.h"
#include "platform/clipboard.h"
#include "platform/png.h"
#include "platform/portable/core/palettes.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/message_capture.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using test::BmpFileOf;
using test::ByteVector;
using test::DibPicture;
using test::Gradient;
using test::PackedDibOf;

IconSetImage TargetImage(int32_t width, int32_t height, uint32_t bits) {
  IconSetImage image;
  image.width = width;
  image.height = height;
  image.bitCount = bits;
  return image;
}

ByteVector BytesOf(const IconSetImage& image) {
  return ByteVector(image.data.get(), image.data.get() + image.dataSize);
}

class BitmapIconTest : public testing::Test {
 protected:
  test::TempDir dir_;
  test::MessageCapture messages_;
};

TEST_F(BitmapIconTest, ImportsA48x48BitmapAs32x32At4Bits) {
  std::string path = dir_.Write("in.bmp", BmpFileOf(Gradient(48, 48, 24)));
  IconSetImage image = TargetImage(32, 32, 4);
  ASSERT_TRUE(ImportBmpIcon(path.c_str(), &image, true));
  EXPECT_TRUE(messages_.messages.empty());

  ASSERT_EQ(image.dataSize, 744u);
  BitmapInfoHeader h = image.Header();
  EXPECT_EQ(h.biWidth, 32);
  EXPECT_EQ(h.biHeight, 64);
  EXPECT_EQ(h.biBitCount, 4);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biSizeImage, 0u);
  EXPECT_EQ(h.biClrUsed, 0u);
  // The width, height and depth asked for stay; the pointers find the parts.
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 32);
  EXPECT_EQ(image.bitCount, 4u);
  EXPECT_EQ(image.header, image.data.get());
  EXPECT_EQ(image.xorBits, image.data.get() + 104);
  EXPECT_EQ(image.andBits, image.data.get() + 616);
  const auto& defaults = portable::DefaultPalette();
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(image.data[40 + 4 * i], defaults[i].blue);
    EXPECT_EQ(image.data[40 + 4 * i + 2], defaults[i].red);
  }
  for (uint32_t i = 616; i < 744; ++i) ASSERT_EQ(image.data[i], 0) << "mask byte " << i;

  // The result binds as an icon image in its own right.
  IconSetImage bound;
  bound.AssignData(image.bytes());
  ASSERT_TRUE(BindIconImage(&bound));
  EXPECT_EQ(bound.andBits - bound.data.get(), 616);
}

TEST_F(BitmapIconTest, LayoutOfConvertedImages) {
  const struct {
    int32_t width, height;
    uint32_t bits;
    uint32_t dataSize;
  } cases[] = {
      {16, 16, 24, (48 + 4) * 16 + 40},        // no table, rows of 48, mask rows of 4
      {33, 2, 1, (8 + 8) * 2 + 8 + 40},        // mask rows of 8
      {32, 32, 8, (32 + 4) * 32 + 1024 + 40},  // halftone table
      {48, 48, 32, (192 + 8) * 48 + 40},
      {7, 5, 16, (16 + 4) * 5 + 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    IconSetImage image = TargetImage(c.width, c.height, c.bits);
    ASSERT_TRUE(BitmapToIconImage(&image, PackedDibOf(Gradient(20, 20, 8)), true));
    EXPECT_EQ(image.dataSize, c.dataSize);
    EXPECT_EQ(image.Header().biHeight, c.height * 2);
    for (uint8_t* p = image.andBits; p < image.data.get() + image.dataSize; ++p) ASSERT_EQ(*p, 0);
  }
}

TEST_F(BitmapIconTest, ABitmapOfTheImagesSizeIsCopiedRowForRow) {
  DibPicture picture = Gradient(16, 16, 24);
  IconSetImage image = TargetImage(16, 16, 24);
  ASSERT_TRUE(BitmapToIconImage(&image, PackedDibOf(picture), false));
  ByteVector rows = PackedDibOf(picture);
  EXPECT_EQ(ByteVector(image.xorBits, image.andBits), ByteVector(rows.begin() + 40, rows.end()));
}

TEST_F(BitmapIconTest, FailuresLeaveTheImageAsItWas) {
  IconSetImage image = TargetImage(32, 32, 4);
  image.AssignData(test::DibImage(32, 32, 4));
  ASSERT_TRUE(BindIconImage(&image));
  const ByteVector before = BytesOf(image);

  // A file the reader refuses: its message, and the image untouched.
  std::string bad = dir_.Write("bad.bmp", BmpFileOf(Gradient(4, 4, 8), {.type = 0x1234}));
  EXPECT_FALSE(ImportBmpIcon(bad.c_str(), &image, true));
  EXPECT_EQ(messages_.Only(), msg::kBmpUnknownFormat);
  EXPECT_EQ(BytesOf(image), before);

  // No DIB, or one the conversion cannot take: nothing changes, nothing said.
  messages_.messages.clear();
  EXPECT_FALSE(BitmapToIconImage(&image, Bytes(), true));
  DibPicture rle = Gradient(4, 4, 8);
  rle.compression = 1;
  EXPECT_FALSE(BitmapToIconImage(&image, PackedDibOf(rle), true));
  image.bitCount = 2;
  EXPECT_FALSE(BitmapToIconImage(&image, PackedDibOf(Gradient(4, 4, 8)), true));
  EXPECT_EQ(BytesOf(image), before);
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(BitmapIconTest, ABitmapOnItsOwnKeepsItsDepthAndFitsIn256) {
  struct Case {
    int32_t width, height;
    uint16_t bits;
    int32_t fitWidth, fitHeight;
  };
  const Case cases[] = {
      {40, 30, 24, 40, 30},     {256, 256, 8, 256, 256}, {600, 300, 8, 256, 128}, {300, 600, 4, 128, 256},
      {257, 1, 32, 256, 1},     {1000, 3, 1, 256, 1},    {3, 1000, 16, 1, 256},   {999, 333, 24, 256, 85},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + "x" + std::to_string(c.bits));
    const std::string path = dir_.Write("own.bmp", BmpFileOf(Gradient(c.width, c.height, c.bits)));
    auto set = ImportBmpIconSet(path.c_str());
    ASSERT_TRUE(set);
    ASSERT_EQ(set->imageCount, 1u);
    const IconSetImage& image = set->images[0];
    EXPECT_EQ(image.width, c.fitWidth);
    EXPECT_EQ(image.height, c.fitHeight);
    EXPECT_EQ(image.bitCount, c.bits);
    EXPECT_STREQ(set->iconFilePath, path.c_str());
    // The same bytes as a conversion to that size and depth.
    IconSetImage expected = TargetImage(c.fitWidth, c.fitHeight, c.bits);
    ASSERT_TRUE(ImportBmpIcon(path.c_str(), &expected, true));
    EXPECT_EQ(BytesOf(image), BytesOf(expected));
  }
  // Refused files give no record.
  DibPicture twoBit = Gradient(4, 4, 8);
  twoBit.bitCount = 2;
  EXPECT_FALSE(ImportBmpIconSet(dir_.Write("two.bmp", BmpFileOf(twoBit)).c_str()));
  EXPECT_EQ(messages_.Only(), msg::kBmpDepthUnsupported);
  messages_.messages.clear();
  EXPECT_FALSE(ImportBmpIconSet(dir_.Path("missing.bmp").c_str()));
  EXPECT_EQ(messages_.Only(), msg::kBmpOpenFailed);
}

TEST_F(BitmapIconTest, ExportWritesTheColourPictureOnly) {
  IconSetImage image = TargetImage(32, 32, 4);
  image.AssignData(test::DibImage(32, 32, 4));
  ASSERT_TRUE(BindIconImage(&image));
  const ByteVector before = BytesOf(image);
  std::string out = dir_.Path("out.bmp");
  ASSERT_TRUE(ExportImageBmp(out.c_str(), image));
  ByteVector file = test::TempDir::Read(out);
  ASSERT_EQ(file.size(), 630u);
  EXPECT_EQ(LoadU32(file.data() + 10), 118u);
  EXPECT_EQ(LoadI32(file.data() + 14 + 8), 32);
  EXPECT_EQ(ByteVector(file.begin() + 14 + 40, file.end()), ByteVector(before.begin() + 40, before.begin() + 616));
  EXPECT_EQ(BytesOf(image), before);
}

// A PNG image with a transparent corner, as modern icons carry.
IconSetImage PngIconImage() {
  IconSetImage image;
  image.AssignData(test::PngImageOf(3, 2, [](uint32_t x, uint32_t y) {
    return x == 0 && y == 0 ? 0x00000000u : 0xFF000000u | (x * 80) << 16 | (y * 90) << 8 | 0x33;
  }));
  EXPECT_TRUE(BindIconImage(&image));
  return image;
}

TEST_F(BitmapIconTest, APngImageIsExportedAndCopiedAsIts32BitPicture) {
  IconSetImage image = PngIconImage();
  ASSERT_EQ(image.format, ImageFormat::Png);
  auto picture = platform::DecodePng(image.bytes());
  ASSERT_TRUE(picture);
  ByteVector expected = PackedDibOf([&] {
    DibPicture p;
    p.width = 3;
    p.height = 2;
    p.bitCount = 32;
    p.pixel = [&](int32_t x, int32_t y) { return picture->pixels[size_t(y) * 3 + size_t(x)]; };
    return p;
  }());

  std::string out = dir_.Path("png.bmp");
  ASSERT_TRUE(ExportImageBmp(out.c_str(), image));
  PackedDib back = LoadBmpFile(out.c_str());
  ASSERT_TRUE(back);
  EXPECT_EQ(ByteVector(back.data.get(), back.data.get() + back.size), expected);
  EXPECT_EQ(LoadU32(back.data.get() + 40 + 4 * 3), 0u);  // top-left pixel: fully transparent

  ASSERT_TRUE(CopyImageToClipboard(image));
  EXPECT_EQ(platform::ReadClipboard(platform::kClipboardFormatDib), expected);
}

TEST_F(BitmapIconTest, ClipboardGetsTheImageWithItsTrueHeight) {
  IconSetImage image = TargetImage(32, 32, 4);
  image.AssignData(test::DibImage(32, 32, 4));
  ASSERT_TRUE(BindIconImage(&image));
  const ByteVector before = BytesOf(image);
  ASSERT_TRUE(CopyImageToClipboard(image));
  auto block = platform::ReadClipboard(platform::kClipboardFormatDib);
  ASSERT_TRUE(block);
  ASSERT_EQ(block->size(), 744u);
  EXPECT_EQ(LoadI32(block->data() + 8), 32);
  // Everything else, the mask rows at the end included, is the image's.
  ByteVector expected = before;
  StoreI32(expected.data() + 8, 32);
  EXPECT_EQ(*block, expected);
  EXPECT_EQ(image.Header().biHeight, 64);
  // An odd doubled height is halved as the format halves it: 33 gives 16.
  image.AssignData(test::DibImage(16, 16, 4, {.heightField = 33}));
  ASSERT_TRUE(BindIconImage(&image));
  ASSERT_TRUE(CopyImageToClipboard(image));
  block = platform::ReadClipboard(platform::kClipboardFormatDib);
  ASSERT_TRUE(block);
  EXPECT_EQ(LoadI32(block->data() + 8), 16);
}

TEST_F(BitmapIconTest, CopyingAnImageWithoutBytesLeavesTheClipboardEmpty) {
  IconSetImage full = TargetImage(16, 16, 24);
  full.AssignData(test::DibImage(16, 16, 24));
  ASSERT_TRUE(BindIconImage(&full));
  ASSERT_TRUE(CopyImageToClipboard(full));
  ASSERT_TRUE(platform::ReadClipboard(platform::kClipboardFormatDib));

  IconSetImage empty;
  EXPECT_FALSE(CopyImageToClipboard(empty));
  EXPECT_FALSE(platform::ReadClipboard(platform::kClipboardFormatDib));
}

}  // namespace
}  // namespace pk
