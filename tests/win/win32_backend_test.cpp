// The win32 backend against the real system calls (run under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include "codec/icon_set.h"
#include "platform/file.h"
#include "platform/portable/core/icon_decode.h"
#include "platform/png.h"
#include "platform/win32/wide_text.h"
#include "tests/support/ico_builder.h"
#include "tests/support/temp_dir.h"

namespace pk {
namespace {

// The program's words are GBK whatever the system's code page (this test runs
// under 936 and 1252); paths go through UTF-8 without loss.
TEST(WideText, ProgramWordsAreGbkAndPathsUtf8WhateverTheCodePage) {
  using namespace win32;
  const std::pair<const char*, const wchar_t*> words[] = {
      {"\xB4\xED\xCE\xF3", L"\u9519\u8BEF"},  // 错误
      {"\xB1\xA3\xB4\xE6\xCE\xAA...", L"\u4FDD\u5B58\u4E3A..."},  // 保存为...
      {"Icon [\x81\x5C]", L"Icon [\u4E57]"},  // 乗: its trail byte is a backslash
      {"", L""},
  };
  for (auto [gbk, wide] : words) {
    EXPECT_EQ(WideFromGbk(gbk), wide) << gbk;
    EXPECT_EQ(GbkFromWide(wide), gbk) << gbk;
  }
  EXPECT_EQ(GbkFromWide(L"\uD55C\u00E9!"), "?\xA8\xA6!");  // 한 is not in GBK; é is
  const std::wstring names[] = {L"C:\\\U0001F600\\\uD55C\uAE00.ico", L"cafe\u0301.dll", L"\u4E2D\u6587"};
  for (const std::wstring& name : names) EXPECT_EQ(WideFromUtf8(Utf8FromWide(name)), name);
  EXPECT_EQ(Utf8FromWide(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Win32File, OpensWithoutSharing) {
  test::TempDir dir;
  std::string path = dir.Write("a.bin", {1, 2, 3, 4});
  {
    auto file = platform::OpenFileForRead(path.c_str());
    ASSERT_TRUE(file);
    // While we hold it, nobody else may open it, not even for reading.
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  }
  // A file someone else holds without sharing cannot be opened.
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(platform::OpenFileForRead(path.c_str()));
  CloseHandle(held);
  EXPECT_FALSE(platform::OpenFileForRead(dir.Path("absent.bin").c_str()));
}

TEST(Win32File, SeeksToSigned32BitPositions) {
  test::TempDir dir;
  std::string path = dir.Write("a.bin", {1, 2, 3, 4});
  auto file = platform::OpenFileForRead(path.c_str());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Length(), 4u);
  EXPECT_FALSE(file->SeekFromStart(-1));
  EXPECT_FALSE(file->SeekFromStart(INT32_MIN));
  ASSERT_TRUE(file->SeekFromStart(2));
  uint8_t buffer[8];
  uint32_t done = 99;
  ASSERT_TRUE(file->Read(buffer, 8, &done));
  EXPECT_EQ(done, 2u);
  EXPECT_EQ(buffer[0], 3);
  // Past the end: the move succeeds and the read comes up empty.
  ASSERT_TRUE(file->SeekFromStart(1000));
  ASSERT_TRUE(file->Read(buffer, 8, &done));
  EXPECT_EQ(done, 0u);
}

TEST(Win32File, ReplacementTouchesTheTargetOnlyOnCommit) {
  test::TempDir dir;
  std::string path = dir.Write("t.ico", {9, 9});
  {
    auto file = platform::CreateReplacementFile(path.c_str());
    ASSERT_TRUE(file);
    uint32_t done;
    ASSERT_TRUE(file->Write("abc", 3, &done));
    EXPECT_EQ(test::TempDir::Read(path), (std::vector<uint8_t>{9, 9}));
    // Dropped without Commit: the target stays, the temporary file goes.
  }
  EXPECT_EQ(test::TempDir::Read(path), (std::vector<uint8_t>{9, 9}));
  EXPECT_EQ(dir.Files().size(), 1u);
  {
    auto file = platform::CreateReplacementFile(path.c_str());
    uint32_t done;
    ASSERT_TRUE(file->Write("abc", 3, &done));
    ASSERT_TRUE(file->Commit());
  }
  EXPECT_EQ(test::TempDir::Read(path), (std::vector<uint8_t>{'a', 'b', 'c'}));
  // A hidden file stays hidden when it is replaced.
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  {
    auto file = platform::CreateReplacementFile(path.c_str());
    uint32_t done;
    ASSERT_TRUE(file->Write("de", 2, &done));
    ASSERT_TRUE(file->Commit());
  }
  EXPECT_EQ(test::TempDir::Read(path), (std::vector<uint8_t>{'d', 'e'}));
  EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN);
  std::string fresh = dir.Path("new.ico");
  auto file = platform::CreateReplacementFile(fresh.c_str());
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->Commit());
  EXPECT_EQ(dir.Files().size(), 2u);
}

// The portable decoder must show an icon as the system does; a 32-bit image
// also without its mask or with part of it, with alpha and without (the
// system takes them, as other programs' icons have them).
TEST(Win32Icon, PortableDecodingMatchesTheSystem) {
  struct Case { uint16_t bits; bool zeroAlpha; size_t maskCut; };
  std::vector<Case> cases;
  for (uint16_t bits : {1, 4, 8, 24, 32}) cases.push_back({bits, false, 0});
  for (bool zeroAlpha : {false, true})
    for (size_t cut : {size_t(0), size_t(1), size_t(64), size_t(100000)}) cases.push_back({32, zeroAlpha, cut});
  for (const Case& c : cases) {
    for (int size : {16, 32, 48}) {
      SCOPED_TRACE(testing::Message() << c.bits << " bits, " << size << " pixels, alpha "
                                      << (c.zeroAlpha ? "zero" : "mixed") << ", mask cut by " << c.maskCut);
      auto bytes = test::DibImage(size, size, c.bits);
      const size_t maskBytes = size_t(size) * size_t(MaskRowStride(size));
      // Half the mask rows transparent, so that whether it is used shows.
      std::fill(bytes.end() - long(maskBytes / 2), bytes.end(), 0xFF);
      bytes.resize(bytes.size() - std::min(c.maskCut, maskBytes));
      for (size_t i = 40 + 3; c.bits == 32 && i < 40 + size_t(size) * size * 4; i += 4) {
        if (c.zeroAlpha) bytes[i] = 0;
        else if (i % 16 == 3) bytes[i] = 0xFF;  // give part of it real alpha
      }
      IconSetImage image;
      ASSERT_TRUE(image.AssignData(Bytes(bytes.data(), bytes.size())));
      ASSERT_TRUE(BindIconImage(&image));
      auto icon = IconHandleFromImage(&image);
      ASSERT_TRUE(icon);
      auto system = platform::IconPicture(icon.get());
      auto portable = platform::DecodeDibIcon(bytes);
      ASSERT_TRUE(portable);
      ASSERT_EQ(system.width, portable->width);
      ASSERT_EQ(system.height, portable->height);
      int differences = 0;
      for (size_t i = 0; i < system.pixels.size(); ++i) {
        uint32_t s = system.pixels[i], p = portable->pixels[i];
        // Fully transparent pixels may differ in colour; nothing else may.
        if ((s >> 24) == 0 && (p >> 24) == 0) continue;
        differences += s != p;
      }
      EXPECT_EQ(differences, 0);
    }
  }
}

TEST(Win32Icon, PngImagesBecomeIconsAtTheirOwnSize) {
  auto png = test::PngImage(64, 64);
  IconSetImage image;
  ASSERT_TRUE(image.AssignData(Bytes(png.data(), png.size())));
  ASSERT_TRUE(BindIconImage(&image));
  auto icon = IconHandleFromImage(&image);
  ASSERT_TRUE(icon);
  auto picture = platform::IconPicture(icon.get());
  EXPECT_EQ(picture.width, 64);
  EXPECT_EQ(picture.height, 64);
  // WIC decodes the same pixels as the test's encoder wrote.
  auto decoded = platform::DecodePng(png);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->pixels[64 * 3 + 5], 0x80000000u | (25u << 16) | (9u << 8) | 8u);
}

TEST(Win32Icon, DamagedImagesGiveNoIcon) {
  auto bytes = test::DibImage(32, 32, 8);
  bytes.resize(60);
  IconSetImage image;
  ASSERT_TRUE(image.AssignData(Bytes(bytes.data(), bytes.size())));
  EXPECT_FALSE(IconHandleFromImage(&image));
  EXPECT_FALSE(platform::DecodePng(std::vector<uint8_t>{0x89, 'P', 'N', 'G', 1, 2, 3}));
}


}  // namespace
}  // namespace pk
