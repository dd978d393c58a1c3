#include <gtest/gtest.h>

#include "codec/ico_file.h"
#include "codec_messages.h"
#include "tests/support/ico_builder.h"
#include "tests/support/message_capture.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

using test::DibImage;
using test::IcoBuilder;
using test::PngImage;

class IcoFileTest : public testing::Test {
 protected:
  std::unique_ptr<IconSet> Load(const std::vector<uint8_t>& bytes) {
    path_ = dir_.Write("in.ico", bytes);
    return LoadIconFile(path_.c_str());
  }
  // Why the reader refuses the file last loaded. The same bytes held in
  // memory (as the fuzz targets hand them over) are refused for the same reason.
  IcoFault Refusal() {
    // The bytes first: the reader opens its file without sharing.
    const auto bytes = test::TempDir::Read(path_);
    auto file = platform::OpenFileForRead(path_.c_str());
    auto set = ReadIconFile(*file, path_.c_str());
    EXPECT_FALSE(set);
    platform::MemoryFile memory(bytes);
    auto fromMemory = ReadIconFile(memory, path_.c_str());
    EXPECT_FALSE(fromMemory);
    if (!set && !fromMemory) {
      EXPECT_EQ(set.reason(), fromMemory.reason());
    }
    return set ? IcoFault::OpenFailed : set.reason();
  }
  test::TempDir dir_;
  std::string path_;
  test::MessageCapture messages_;
};

TEST_F(IcoFileTest, ReadsEveryImageAsStored) {
  auto a = DibImage(16, 16, 4), b = DibImage(32, 32, 32), c = PngImage(256, 256);
  auto set = Load(IcoBuilder().Add(a).Add(b).Add(c).Build());
  ASSERT_TRUE(set);
  EXPECT_TRUE(messages_.messages.empty());
  ASSERT_EQ(set->imageCount, 3u);
  EXPECT_STREQ(set->iconFilePath, path_.c_str());
  EXPECT_STREQ(set->moduleFilePath, "");
  const std::vector<uint8_t>* expected[] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    const IconSetImage& image = set->images[i];
    EXPECT_EQ(std::vector<uint8_t>(image.data.get(), image.data.get() + image.dataSize), *expected[i]);
  }
  EXPECT_EQ(set->images[1].bitCount, 32u);
  EXPECT_EQ(set->images[2].format, ImageFormat::Png);
  EXPECT_EQ(set->images[2].width, 256);
  // Icons other programs keep among their test files: 32-bit images with
  // alpha and no mask, or half a mask. The system takes them, and so do we.
  for (const char* name : {"alpha-no-mask.ico", "alpha-short-mask.ico"}) {
    SCOPED_TRACE(name);
    auto kept = LoadIconFile((std::string(PK_SOURCE_DIR) + "/tests/data/ico/" + name).c_str());
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->imageCount, 1u);
    auto picture = platform::DecodeIconImage(kept->images[0].bytes());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->pixels[0] >> 24, 0u);                // a corner, clear by its alpha
    EXPECT_EQ(picture->pixels[16 * 32 + 16] >> 24, 0xFFu);  // the middle
  }
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(IcoFileTest, DirectoryFieldsThatContradictTheImageAreIgnored) {
  auto set = Load(IcoBuilder().Add(DibImage(32, 32, 8)).Fields({16, 64, 3, 9, 7, 2, 0, 0}).Build());
  ASSERT_TRUE(set);
  EXPECT_EQ(set->images[0].width, 32);
  EXPECT_EQ(set->images[0].height, 32);
  EXPECT_EQ(set->images[0].bitCount, 8u);
}

TEST_F(IcoFileTest, ZeroImagesIsAnEmptyRecord) {
  auto set = Load(IcoBuilder().Build());
  ASSERT_TRUE(set);
  EXPECT_EQ(set->imageCount, 0u);
  EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(IcoFileTest, MalformedFilesAreRefusedWithTheirMessage) {
  auto image = DibImage(16, 16, 4);
  auto twoEntries = IcoBuilder().Add(image).Add(image).Count(3).Build();
  twoEntries.resize(6 + 2 * 16);  // three announced, two entries, nothing else
  auto shortImage = IcoBuilder().Add(image).Build();
  shortImage.resize(shortImage.size() - 1);
  auto bigImage = DibImage(16, 16, 4, {.clrUsed = 20});
  bigImage.resize(100);

  // Each refusal names the check that fired; the user sees its message.
  struct Case { const char* what; std::vector<uint8_t> bytes; const char* message; IcoFault fault; } cases[] = {
      {"shorter than the header", {0, 0, 1, 0, 1}, msg::kIcoHeaderFailed, IcoFault::BadHeader},
      {"empty file", {}, msg::kIcoHeaderFailed, IcoFault::BadHeader},
      {"cursor file", IcoBuilder().Type(2).Add(image).Build(), msg::kIcoHeaderFailed, IcoFault::BadHeader},
      {"reserved word set", IcoBuilder().Reserved(1).Add(image).Build(), msg::kIcoHeaderFailed, IcoFault::BadHeader},
      {"directory shorter than its count", twoEntries, msg::kIcoDirectoryReadFailed, IcoFault::DirectoryShort},
      {"offset past the end", IcoBuilder().Add(image).Offset(100000).Build(), msg::kIcoImageReadFailed, IcoFault::ImageOutsideFile},
      {"size past the end", IcoBuilder().Add(image).Size(0xFFFFFFFF).Build(), msg::kIcoImageReadFailed, IcoFault::ImageOutsideFile},
      {"offset plus size wraps", IcoBuilder().Add(image).Offset(0x7FFFFFF0).Size(0x20).Build(), msg::kIcoImageReadFailed, IcoFault::ImageOutsideFile},
      {"image cut short", shortImage, msg::kIcoImageReadFailed, IcoFault::ImageOutsideFile},
      {"image over the directory", IcoBuilder().Add(image).Offset(6).Build(), msg::kIcoImageReadFailed, IcoFault::ImageOverDirectory},
      {"negative position", IcoBuilder().Add(image).Offset(0x80000000).Build(), msg::kIcoSeekFailed, IcoFault::OffsetNegative},
      {"parts do not fit", IcoBuilder().Add(bigImage).Build(), msg::kIcoBindFailed, IcoFault::ImageFormat},
      {"size zero", IcoBuilder().Add(image).Size(0).Build(), msg::kIcoBindFailed, IcoFault::ImageFormat},
      {"damaged png", IcoBuilder().Add({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0}).Build(), msg::kIcoBindFailed, IcoFault::ImageFormat},
  };
  auto badCrc = PngImage(16, 16);
  badCrc[29] ^= 1;
  // IHDR fields changed, the CRC sealed again so only the field is wrong.
  auto ihdr = [](size_t at, std::vector<uint8_t> value) {
    auto png = PngImage(1, 1);
    std::copy(value.begin(), value.end(), png.begin() + long(at));
    uint32_t crc = Crc32(Bytes(png.data() + 12, 17));
    for (int i = 0; i < 4; ++i) png[29 + i] = uint8_t(crc >> (24 - 8 * i));
    return png;
  };
  std::pair<const char*, std::vector<uint8_t>> pngCases[] = {
      {"png header crc", badCrc},
      {"png 0 x 1", ihdr(16, {0, 0, 0, 0})},
      {"png 2^31 wide", ihdr(16, {0x80, 0, 0, 0})},
      {"png 2^31 high", ihdr(20, {0x80, 0, 0, 0})},
      {"png rgb of 4 bits", ihdr(24, {4, 2})},
      {"png colour type 7", ihdr(24, {8, 7})},
  };
  for (auto& [what, bytes] : pngCases) {
    SCOPED_TRACE(what);
    messages_.messages.clear();
    EXPECT_FALSE(Load(IcoBuilder().Add(bytes).Build()));
    EXPECT_EQ(messages_.Only(), msg::kIcoBindFailed);
  }
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    messages_.messages.clear();
    EXPECT_FALSE(Load(c.bytes));
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.messages[0].text, c.message);
    EXPECT_EQ(Refusal(), c.fault);
    EXPECT_EQ(messages_.messages[0].caption, path_);
    EXPECT_EQ(messages_.messages[0].owner, platform::Owner::MainWindow);
  }
}

// The shell's extraction is given only files whose directory and images lie
// inside them: it reads wherever an entry points.
TEST_F(IcoFileTest, OnlyWholeIconDirectoriesAreHandedToTheShell) {
  auto image = DibImage(32, 32, 4);
  auto cutMask = image;
  cutMask.resize(cutMask.size() - 4);
  auto endsShort = IcoBuilder().Add(image).Build();
  endsShort.resize(endsShort.size() - 1);
  const std::string data = std::string(PK_SOURCE_DIR) + "/tests/data/ico/";
  // Files that ended the program once, in the shell's extraction.
  const auto pastEnd = test::TempDir::Read(data + "directory-past-end.ico");
  const auto at2Gib = test::TempDir::Read(data + "image-offset-2-gib.ico");
  ASSERT_FALSE(pastEnd.empty() || at2Gib.empty()) << "the regression files under " << data;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    bool whole;
  } cases[] = {
      {"two images", IcoBuilder().Add(image).Add(PngImage(48, 48)).Build(), true},
      {"an image the reader refuses, inside the file", IcoBuilder().Add(cutMask).Build(), true},
      {"an image over the directory", IcoBuilder().Add(image).Offset(6).Build(), true},
      {"an image of no bytes", IcoBuilder().Add(image).Size(0).Build(), true},
      {"empty file", {}, false},
      {"a cursor file", IcoBuilder().Type(2).Add(image).Build(), false},
      {"no images", IcoBuilder().Build(), false},
      {"a module", {'M', 'Z', 0x90, 0, 3, 0, 0, 0}, false},
      {"a directory past the end", pastEnd, false},
      {"an image at 2 GiB", at2Gib, false},
      {"an image past the end", IcoBuilder().Add(image).Offset(100000).Build(), false},
      {"an image one byte longer than the file", endsShort, false},
      {"offset plus size wraps", IcoBuilder().Add(image).Offset(0x100).Size(0xFFFFFFF0u).Build(), false},
      {"the second image past the end", IcoBuilder().Add(image).Add(image).Size(0x10000).Build(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir_.Write("whole.ico", c.bytes);
    EXPECT_EQ(IconDirectoryFitsFile(path.c_str()), c.whole);
  }
  EXPECT_FALSE(IconDirectoryFitsFile(dir_.Path("absent.ico").c_str()));
  EXPECT_TRUE(messages_.messages.empty()) << "the check shows nothing";
}

TEST_F(IcoFileTest, MissingFileCannotBeOpened) {
  std::string path = dir_.Path("absent.ico");
  EXPECT_FALSE(LoadIconFile(path.c_str()));
  EXPECT_EQ(messages_.Only(), msg::kIcoOpenFailed);
}

TEST_F(IcoFileTest, WritesImagesBackToBackBehindTheDirectory) {
  auto set = Load(IcoBuilder().Add(DibImage(32, 32, 4)).Add(DibImage(32, 32, 8, {.clrUsed = 0})).Build());
  ASSERT_TRUE(set);
  ASSERT_EQ(set->images[0].dataSize, 744u);
  ASSERT_EQ(set->images[1].dataSize, 2216u);
  EXPECT_EQ(ImageFileOffset(*set, 0), 38u);
  EXPECT_EQ(ImageFileOffset(*set, 1), 782u);
  std::string out = dir_.Path("out.ico");
  ASSERT_TRUE(SaveIconFile(*set, out.c_str()));
  auto bytes = test::TempDir::Read(out);
  ASSERT_EQ(bytes.size(), 2998u);
  const uint8_t* e0 = bytes.data() + 6;
  const uint8_t* e1 = e0 + 16;
  EXPECT_EQ(e0[0], 32);
  EXPECT_EQ(e0[2], 16);  // 4 bits: 16 colours
  EXPECT_EQ(e1[2], 0);   // 8 bits: 0
  EXPECT_EQ(LoadU16(e0 + 4), 1);
  EXPECT_EQ(LoadU16(e0 + 6), 4);
  EXPECT_EQ(LoadU32(e0 + 8), 744u);
  EXPECT_EQ(LoadU32(e0 + 12), 38u);
  EXPECT_EQ(LoadU32(e1 + 12), 782u);
}

TEST_F(IcoFileTest, RoundTripKeepsEveryByteButBiSizeImage) {
  auto original = IcoBuilder()
                      .Add(DibImage(16, 16, 1, {.sizeImage = 123}))
                      .Add(DibImage(16, 16, 4))
                      .Add(DibImage(24, 24, 8, {.clrUsed = 20}))
                      .Add(DibImage(32, 32, 16))
                      .Add(DibImage(48, 48, 24, {.sizeImage = 6912}))
                      .Add(DibImage(64, 64, 32))
                      .Add(PngImage(256, 256))
                      .Add(DibImage(20, 12, 4))
                      .Add(PngImage(24, 40))
                      .Add(DibImage(8, 8, 2, {.planes = 2}))
                      .Build();
  auto set = Load(original);
  ASSERT_TRUE(set);
  std::string out = dir_.Path("out.ico");
  ASSERT_TRUE(SaveIconFile(*set, out.c_str()));
  EXPECT_EQ(set->images[0].Header().biSizeImage, 123u);  // the record is unchanged

  auto again = LoadIconFile(out.c_str());
  ASSERT_TRUE(again);
  ASSERT_EQ(again->imageCount, set->imageCount);
  for (uint32_t i = 0; i < set->imageCount; ++i) {
    SCOPED_TRACE(i);
    std::vector<uint8_t> before(set->images[i].data.get(), set->images[i].data.get() + set->images[i].dataSize);
    std::vector<uint8_t> after(again->images[i].data.get(), again->images[i].data.get() + again->images[i].dataSize);
    ASSERT_EQ(before.size(), after.size());
    if (set->images[i].format == ImageFormat::Dib) {
      EXPECT_EQ(LoadU32(after.data() + kBiSizeImageOffset), 0u);
      StoreU32(before.data() + kBiSizeImageOffset, 0);
    }
    EXPECT_EQ(before, after);  // a PNG is written back untouched
  }
  // Each entry describes its image from the image's own header (a PNG from
  // IHDR); 256 is written as 0, and no field is taken from its neighbour.
  auto bytes = test::TempDir::Read(out);
  struct Entry { uint8_t width, height, colors; uint16_t planes, bits; } entries[] = {
      {16, 16, 2, 1, 1}, {16, 16, 16, 1, 4}, {24, 24, 0, 1, 8}, {32, 32, 0, 1, 16}, {48, 48, 0, 1, 24},
      {64, 64, 0, 1, 32}, {0, 0, 0, 1, 32},  {20, 12, 16, 1, 4}, {24, 40, 0, 1, 32}, {8, 8, 16, 2, 2},
  };
  ASSERT_EQ(set->imageCount, std::size(entries));
  for (uint32_t i = 0; i < set->imageCount; ++i) {
    SCOPED_TRACE(i);
    const uint8_t* e = bytes.data() + 6 + 16 * i;
    EXPECT_EQ(e[0], entries[i].width);
    EXPECT_EQ(e[1], entries[i].height);
    EXPECT_EQ(e[2], entries[i].colors);
    EXPECT_EQ(e[3], 0);
    EXPECT_EQ(LoadU16(e + 4), entries[i].planes);
    EXPECT_EQ(LoadU16(e + 6), entries[i].bits);
    EXPECT_EQ(LoadU32(e + 8), set->images[i].dataSize);
    EXPECT_EQ(LoadU32(e + 12), ImageFileOffset(*set, i));
  }
}

TEST_F(IcoFileTest, EmptyRecordIsWrittenAsTheHeaderAlone) {
  auto set = NewIconSet(1);
  std::string out = dir_.Path("empty.ico");
  ASSERT_TRUE(SaveIconFile(*set, out.c_str()));
  EXPECT_EQ(test::TempDir::Read(out), (std::vector<uint8_t>{0, 0, 1, 0, 0, 0}));
}

TEST_F(IcoFileTest, FailedSaveLeavesTheExistingFileAndNoLeftovers) {
  std::string out = dir_.Write("keep.ico", {1, 2, 3});
  auto set = NewIconSet(1);
  // A folder of the target's name cannot be replaced.
  std::string folder = dir_.Path("folder.ico");
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(SaveIconFile(*set, folder.c_str()));
  EXPECT_EQ(messages_.Only(), msg::kIcoCreateFailed);
  // A target in a folder that does not exist cannot be created.
  messages_.messages.clear();
  std::string nowhere = dir_.Path("no/such/dir.ico");
  EXPECT_FALSE(SaveIconFile(*set, nowhere.c_str()));
  EXPECT_EQ(messages_.Only(), msg::kIcoCreateFailed);
  EXPECT_EQ(test::TempDir::Read(out), (std::vector<uint8_t>{1, 2, 3}));
  auto files = dir_.Files();
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"folder.ico", "keep.ico"}));
}

TEST_F(IcoFileTest, SaveReplacesAnExistingFile) {
  std::string out = dir_.Write("old.ico", std::vector<uint8_t>(5000, 0xAA));
  auto set = Load(IcoBuilder().Add(DibImage(16, 16, 4)).Build());
  ASSERT_TRUE(SaveIconFile(*set, out.c_str()));
  auto again = LoadIconFile(out.c_str());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->imageCount, 1u);
  EXPECT_EQ(test::TempDir::Read(out).size(), 6u + 16 + set->images[0].dataSize);
}

TEST_F(IcoFileTest, HeaderReaderAndWriter) {
  std::string path = dir_.Path("h.ico");
  {
    auto file = platform::CreateReplacementFile(path.c_str());
    ASSERT_TRUE(file);
    ASSERT_TRUE(WriteIconFileHeader(*file, 0x12345));  // only the low 16 bits are kept
    ASSERT_TRUE(file->Commit());
  }
  auto file = platform::OpenFileForRead(path.c_str());
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadIconFileHeader(*file), 0x2345);
  EXPECT_EQ(ReadIconFileHeader(*file), -1);  // nothing left
}

TEST_F(IcoFileTest, LongPathIsOpenedWholeAndCutInTheRecord) {
  std::string name(200, 'n');
  std::string sub = dir_.Path(std::string(80, 'd'));
  std::filesystem::create_directories(sub);
  std::string path = sub + "/" + name + ".ico";
  ASSERT_GT(path.size(), 259u);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  auto bytes = IcoBuilder().Add(DibImage(16, 16, 4)).Build();
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  auto set = LoadIconFile(path.c_str());
  if (!set) {
    // The platform may refuse a path that long (Windows does past MAX_PATH);
    // then it is an ordinary open failure, never an overrun.
    EXPECT_EQ(messages_.Only(), msg::kIcoOpenFailed);
    return;
  }
  EXPECT_EQ(std::string(set->iconFilePath), path.substr(0, 259));
}

}  // namespace
}  // namespace pk
