#include <gtest/gtest.h>

#include "codec/bmp_file.h"
#include "codec/dib.h"
#include "codec_messages.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/message_capture.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using test::BmpFileOf;
using test::BmpFileOptions;
using test::ByteVector;
using test::DibPicture;
using test::Gradient;
using test::PackedDibOf;

ByteVector Prefix(ByteVector v, size_t n) {
  v.resize(n);
  return v;
}

class BmpFileTest : public testing::Test {
 protected:
  PackedDib Load(const ByteVector& bytes) {
    path_ = dir_.Write("in.bmp", bytes);
    return LoadBmpFile(path_.c_str());
  }
  // Why the reader refuses the file last loaded. The same bytes held in
  // memory (as the fuzz targets hand them over) are refused for the same reason.
  BmpFault Refusal() {
    // The bytes first: the reader opens its file without sharing.
    const auto bytes = test::TempDir::Read(path_);
    auto file = platform::OpenFileForRead(path_.c_str());
    auto dib = ReadBmpFile(*file);
    EXPECT_FALSE(dib);
    platform::MemoryFile memory(bytes);
    auto fromMemory = ReadBmpFile(memory);
    EXPECT_FALSE(fromMemory);
    if (!dib && !fromMemory) {
      EXPECT_EQ(dib.reason(), fromMemory.reason());
    }
    return dib ? BmpFault::OpenFailed : dib.reason();
  }
  test::TempDir dir_;
  std::string path_;
  test::MessageCapture messages_;
};

TEST_F(BmpFileTest, ReadsHeaderTableAndRowsIntoOneBlock) {
  struct Case {
    const char* name;
    DibPicture picture;
    BmpFileOptions options;
    uint32_t tableBytes;  // as DibColorTableSize places them
  };
  DibPicture small24 = Gradient(3, 2, 24);
  DibPicture full8 = Gradient(5, 4, 8);
  DibPicture short8 = Gradient(5, 4, 8);
  short8.clrUsed = 20;
  short8.colors.resize(20);
  short8.pixel = [](int32_t x, int32_t y) { return uint32_t(x + y); };
  const Case cases[] = {
      {"24-bit 3x2, no table", small24, {}, 0},
      {"8-bit, full table", full8, {}, 1024},
      {"8-bit, 20 colours", short8, {}, 80},
      {"gap before the rows", full8, {.gap = 7}, 1024},
      {"bfOffBits 0", full8, {.offBits = 0}, 1024},
      {"1-bit", Gradient(33, 3, 1), {}, 8},
      {"4-bit", Gradient(9, 2, 4), {}, 64},
      {"16-bit", Gradient(3, 3, 16), {}, 0},
      {"32-bit", Gradient(2, 2, 32), {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PackedDib dib = Load(BmpFileOf(c.picture, c.options));
    ASSERT_TRUE(dib);
    EXPECT_TRUE(messages_.messages.empty());
    ByteVector expected = PackedDibOf(c.picture);
    EXPECT_EQ(ByteVector(dib.data.get(), dib.data.get() + dib.size), expected);
    auto h = BitmapInfoHeader::Read(dib.bytes());
    EXPECT_EQ(DibColorTableSize(*h), c.tableBytes);
    EXPECT_EQ(dib.size, 40 + c.tableBytes + uint32_t(DibRowStride(*h)) * uint32_t(h->biHeight));
  }
  // The 3 x 2 24-bit picture: rows of 12 bytes, a 64-byte block.
  EXPECT_EQ(Load(BmpFileOf(small24)).size, 64u);
}

TEST_F(BmpFileTest, MalformedFilesAreRefusedWithTheirMessage) {
  DibPicture picture = Gradient(4, 4, 8);
  DibPicture v4 = picture, v5 = picture, core = picture;
  v4.headerSize = 108;
  v5.headerSize = 124;
  core.headerSize = 12;
  auto withHeight = [&](int32_t h) {
    DibPicture p = Gradient(4, 4, 24);
    p.heightField = h;
    return p;
  };
  DibPicture zeroWidth = Gradient(4, 4, 24);
  zeroWidth.width = 0;
  DibPicture hugeWidth = Gradient(1, 1, 32);  // stride x height far beyond the file
  DibPicture wrapping = Gradient(1, 1, 32);   // the 32-bit stride wraps to a tiny value
  DibPicture manyColors = Gradient(2, 2, 8);  // a table longer than the file
  manyColors.clrUsed = 0x3FFF;
  ByteVector hugeWidthFile = BmpFileOf(hugeWidth), wrappingFile = BmpFileOf(wrapping);
  StoreU32(hugeWidthFile.data() + 18, 0x00FFFFFF);
  StoreU32(wrappingFile.data() + 18, 0x08000001);  // 32 x width wraps 2^32 by 32 bits

  // Each refusal names the check that fired; the user sees its message.
  struct Case {
    const char* name;
    ByteVector file;
    const char* message;
    BmpFault fault;
  };
  ByteVector noRowsAtAll = BmpFileOf(picture);
  noRowsAtAll.resize(54 + 1024);
  const Case cases[] = {
      {"empty file", {}, msg::kBmpFileHeaderFailed, BmpFault::FileHeaderShort},
      {"short file header", Prefix(BmpFileOf(picture), 10), msg::kBmpFileHeaderFailed, BmpFault::FileHeaderShort},
      {"not BM", BmpFileOf(picture, {.type = 0x4142}), msg::kBmpUnknownFormat, BmpFault::NotBitmap},
      {"reserved1 1", BmpFileOf(picture, {.reserved1 = 1}), msg::kBmpUnknownFormat, BmpFault::NotBitmap},
      {"reserved2 1", BmpFileOf(picture, {.reserved2 = 1}), msg::kBmpUnknownFormat, BmpFault::NotBitmap},
      {"short info header", Prefix(BmpFileOf(picture), 40), msg::kBmpInfoHeaderFailed, BmpFault::InfoHeaderShort},
      {"12-byte header", BmpFileOf(core), msg::kBmpOs2Unsupported, BmpFault::NotInfoHeader},
      {"108-byte header", BmpFileOf(v4), msg::kBmpOs2Unsupported, BmpFault::NotInfoHeader},
      {"124-byte header", BmpFileOf(v5), msg::kBmpOs2Unsupported, BmpFault::NotInfoHeader},
      {"top-down", BmpFileOf(withHeight(-4)), msg::kBmpUnknownFormat, BmpFault::TopDownOrEmpty},
      {"height INT32_MIN", BmpFileOf(withHeight(INT32_MIN)), msg::kBmpUnknownFormat, BmpFault::TopDownOrEmpty},
      {"height 0", BmpFileOf(withHeight(0)), msg::kBmpUnknownFormat, BmpFault::TopDownOrEmpty},
      {"width 0", BmpFileOf(zeroWidth), msg::kBmpUnknownFormat, BmpFault::TopDownOrEmpty},
      {"colour table short", Prefix(BmpFileOf(picture), 300), msg::kBmpColorTableFailed, BmpFault::ColorTableOutside},
      {"table beyond the file", BmpFileOf(manyColors), msg::kBmpColorTableFailed, BmpFault::ColorTableOutside},
      {"bfOffBits negative", BmpFileOf(picture, {.offBits = 0x80000000u}), msg::kBmpSeekFailed, BmpFault::OffsetNegative},
      {"rows short by one byte", BmpFileOf(picture, {.cut = 1}), msg::kBmpPixelsFailed, BmpFault::RowsOutside},
      {"no rows", noRowsAtAll, msg::kBmpPixelsFailed, BmpFault::RowsOutside},
      {"bfOffBits past the end", BmpFileOf(picture, {.offBits = 5000}), msg::kBmpPixelsFailed, BmpFault::RowsOutside},
      {"huge width", hugeWidthFile, msg::kBmpPixelsFailed, BmpFault::RowsOutside},
      {"stride wraps 32 bits", wrappingFile, msg::kBmpPixelsFailed, BmpFault::RowTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages_.messages.clear();
    EXPECT_FALSE(Load(c.file));
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0].text, c.message);
    EXPECT_EQ(Refusal(), c.fault);
    EXPECT_EQ(messages_.messages[0].caption, path_);
    EXPECT_EQ(messages_.messages[0].owner, platform::Owner::None);
  }
}

TEST_F(BmpFileTest, CompressedRowsAreReadAsStoredAndUsuallyComeUpShort) {
  DibPicture rle = Gradient(8, 8, 8);
  rle.compression = 1;
  EXPECT_TRUE(Load(BmpFileOf(rle)));  // the rows happen to be all there
  EXPECT_FALSE(Load(BmpFileOf(rle, {.cut = 40})));
  EXPECT_EQ(messages_.Only(), msg::kBmpPixelsFailed);
}

TEST_F(BmpFileTest, MissingFileIsReported) {
  std::string path = dir_.Path("absent.bmp");
  EXPECT_FALSE(LoadBmpFile(path.c_str()));
  EXPECT_EQ(messages_.Only(), msg::kBmpOpenFailed);
}

// An icon image (doubled height, mask behind the colour rows) as SaveBmpFile takes it.
ByteVector IconImageOf(const DibPicture& picture) {
  DibPicture doubled = picture;
  doubled.heightField = picture.height * 2;
  ByteVector v = PackedDibOf(doubled);
  v.insert(v.end(), size_t(((picture.width + 31) / 32) * 4 * picture.height), 0x5A);
  return v;
}

TEST_F(BmpFileTest, WritesTheColourPictureOfAnIconImage) {
  DibPicture picture = Gradient(32, 32, 4);
  ByteVector image = IconImageOf(picture);
  const ByteVector before = image;
  std::string out = dir_.Path("out.bmp");
  ASSERT_TRUE(SaveBmpFile(out.c_str(), image));
  EXPECT_TRUE(messages_.messages.empty());
  EXPECT_EQ(image, before);

  ByteVector file = test::TempDir::Read(out);
  ASSERT_EQ(file.size(), 630u);  // 54 + 64 + 32 rows of 16
  EXPECT_EQ(LoadU16(file.data()), 0x4D42);
  EXPECT_EQ(LoadU32(file.data() + 2), 630u);
  EXPECT_EQ(LoadU32(file.data() + 6), 0u);
  EXPECT_EQ(LoadU32(file.data() + 10), 118u);
  // Everything behind the file header is the picture's packed DIB, true height.
  EXPECT_EQ(ByteVector(file.begin() + 14, file.end()), PackedDibOf(picture));

  // And it reads back as that DIB.
  PackedDib back = LoadBmpFile(out.c_str());
  ASSERT_TRUE(back);
  EXPECT_EQ(ByteVector(back.data.get(), back.data.get() + back.size), PackedDibOf(picture));
}

TEST_F(BmpFileTest, AnImageThatDoesNotHoldItsRowsIsNotWritten) {
  std::string out = dir_.Write("out.bmp", {1, 2, 3});
  ByteVector image = IconImageOf(Gradient(8, 8, 24));
  image.resize(40 + 8 * 24 - 1);  // last colour row short
  EXPECT_FALSE(SaveBmpFile(out.c_str(), image));
  EXPECT_EQ(messages_.Only(), msg::kBmpWriteFailed);
  EXPECT_EQ(test::TempDir::Read(out), ByteVector({1, 2, 3}));
  EXPECT_FALSE(SaveBmpFile(out.c_str(), Bytes()));
}

TEST_F(BmpFileTest, UncreatableFileIsReported) {
  std::string out = dir_.Path("no/such/folder/out.bmp");
  EXPECT_FALSE(SaveBmpFile(out.c_str(), IconImageOf(Gradient(2, 2, 24))));
  EXPECT_EQ(messages_.Only(), msg::kBmpCreateFailed);
  EXPECT_EQ(messages_.messages[0].caption, out);
}

TEST_F(BmpFileTest, ALongerImageHeaderIsWrittenAsA40ByteOne) {
  DibPicture picture = Gradient(4, 2, 8);
  picture.headerSize = 108;
  ByteVector image = IconImageOf(picture);
  std::string out = dir_.Path("out.bmp");
  ASSERT_TRUE(SaveBmpFile(out.c_str(), image));
  PackedDib back = LoadBmpFile(out.c_str());
  ASSERT_TRUE(back);
  picture.headerSize = 40;
  EXPECT_EQ(ByteVector(back.data.get(), back.data.get() + back.size), PackedDibOf(picture));
}

}  // namespace
}  // namespace pk
