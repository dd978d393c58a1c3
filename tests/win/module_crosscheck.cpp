// Our own resource reader against the system's loader, over every module of
// Wine's 64-bit and 32-bit module folders: the same group names in the same
// order, the same bytes for every group and icon resource, the same records
// from the group loader. Also our best-fit choice against
// LookupIconIdFromDirectory, and our list order against a sorted list box.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "platform/portable/core/icon_best_fit.h"
#include "platform/portable/core/resource_table.h"
#include "platform/win32/wide_text.h"
#include "tests/support/message_capture.h"
#include "tests/support/pe_builder.h"

namespace pk {
namespace {

using platform::ResourceName;

class Win32FileSource final : public portable::ByteSource {
 public:
  explicit Win32FileSource(const std::string& path) {
    file_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size{};
    if (file_ != INVALID_HANDLE_VALUE && GetFileSizeEx(file_, &size)) size_ = uint64_t(size.QuadPart);
  }
  ~Win32FileSource() override {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* out, size_t length) override {
    if (!RangeFits(offset, length, size_)) return false;
    auto* p = static_cast<uint8_t*>(out);
    while (length > 0) {
      OVERLAPPED at{};
      at.Offset = DWORD(offset);
      at.OffsetHigh = DWORD(offset >> 32);
      DWORD got = 0;
      const DWORD want = DWORD(std::min<size_t>(length, 1u << 30));
      if (!ReadFile(file_, p, want, &got, &at) || got == 0) return false;
      p += got;
      offset += got;
      length -= got;
    }
    return true;
  }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  uint64_t size_ = 0;
};

// What the win32 backend makes of a text name: GBK, through code page 936.
std::string NarrowGbk(std::u16string_view text) {
  return win32::GbkFromWide(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

// A module on our own reader, so the codec's loader can run on both.
class CoreModule final : public platform::Module {
 public:
  explicit CoreModule(const std::string& path) : source_(path) {
    if (source_.IsOpen()) table_ = portable::OpenResourceTable(source_, NarrowGbk);
  }
  bool IsModule() const { return table_ != nullptr; }
  portable::ModuleKind Kind() { return source_.IsOpen() ? portable::DetectModuleKind(source_) : portable::ModuleKind::None; }

  std::optional<std::span<const uint8_t>> FindResourceBytes(uint16_t type, const ResourceName& name) override {
    auto location = table_->Find(type, name);
    if (!location) return std::nullopt;
    auto& bytes = loaded_[{location->offset, location->size}];
    if (bytes.size() != location->size && !source_.ReadRange(location->offset, location->size, &bytes))
      return std::nullopt;
    return std::span<const uint8_t>(bytes.data(), bytes.size());
  }
  bool EnumerateNames(uint16_t type, const std::function<bool(const ResourceName&)>& callback) override {
    auto names = table_->Names(type);
    if (!names) return false;
    for (const ResourceName& n : *names)
      if (!callback(n)) return false;
    return true;
  }

 private:
  Win32FileSource source_;
  std::unique_ptr<portable::ResourceTable> table_;
  std::map<std::pair<uint64_t, uint32_t>, std::vector<uint8_t>> loaded_;
};

std::string Describe(const ResourceName& n) { return n.IsId() ? std::to_string(n.Id()) : "'" + n.Text() + "'"; }

std::optional<std::vector<ResourceName>> NamesOf(platform::Module& module, uint16_t type) {
  std::vector<ResourceName> names;
  if (!module.EnumerateNames(type, [&](const ResourceName& n) {
        names.push_back(n);
        return true;
      }))
    return std::nullopt;
  return names;
}

std::vector<std::string> Describe(const std::optional<std::vector<ResourceName>>& names) {
  if (!names) return {"<enumeration fails>"};
  std::vector<std::string> out;
  for (const ResourceName& n : *names) out.push_back(Describe(n));
  return out;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(folder + "\\" + found.cFileName);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return files;
}

// The unpacked i386 Wine: build/wine32-modules beside this build's folder
// (build/<dir>/bin/pk_win_tests.exe), or PK_WINE32_MODULES.
std::string Wine32Folder() {
  if (const char* env = std::getenv("PK_WINE32_MODULES")) return env;
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string path(exe, n);
  for (int up = 0; up < 3; ++up) path = path.substr(0, path.find_last_of("\\/"));
  return path + "\\wine32-modules\\usr\\lib\\i386-linux-gnu\\wine\\i386-windows";
}

// The Windows choice and ours agree by construction when the group has an
// image of exactly the default size and nothing deeper than the display:
// both then take the first of those at the display's depth, or the deepest.
bool BestFitShouldAgree(std::span<const uint8_t> group) {
  const uint16_t count = LoadU16(group.data() + 4);
  bool exact = false;
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* e = group.data() + 6 + 14 * i;
    if (e[0] == 32 && e[1] == 32) exact = true;
    if (LoadU16(e + 6) > 32) return false;
  }
  return exact;
}

struct ModuleTally {
  int modules = 0, groups = 0, icons = 0, bestFitSame = 0, bestFitDifferent = 0;
  std::vector<std::string> bestFitExamples;
};

void CrossCheckFolder(const std::string& folder, ModuleTally* tally) {
  test::MessageCapture quiet;  // the loader's messages must not open boxes
  const auto files = FilesIn(folder);
  ASSERT_FALSE(files.empty()) << "no files in " << folder;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    auto system = platform::OpenModuleAsData(path.c_str());
    CoreModule own(path);
    const bool ownPe = own.Kind() == portable::ModuleKind::Pe;
    ASSERT_EQ(bool(system), ownPe) << "the loader and our reader disagree whether this is a module";
    if (!system) continue;
    ++tally->modules;

    auto systemGroups = NamesOf(*system, platform::kResourceTypeGroupIcon);
    auto ownGroups = NamesOf(own, platform::kResourceTypeGroupIcon);
    EXPECT_EQ(Describe(systemGroups), Describe(ownGroups)) << "group names";
    auto systemIcons = NamesOf(*system, platform::kResourceTypeIcon);
    auto ownIcons = NamesOf(own, platform::kResourceTypeIcon);
    EXPECT_EQ(Describe(systemIcons), Describe(ownIcons)) << "icon names";

    for (const ResourceName& name : systemIcons.value_or(std::vector<ResourceName>{})) {
      ++tally->icons;
      auto a = system->FindResourceBytes(platform::kResourceTypeIcon, name);
      auto b = own.FindResourceBytes(platform::kResourceTypeIcon, name);
      ASSERT_EQ(bool(a), bool(b)) << "icon " << Describe(name);
      if (a) {
        EXPECT_TRUE(std::equal(a->begin(), a->end(), b->begin(), b->end())) << "icon " << Describe(name);
      }
    }
    for (const ResourceName& name : systemGroups.value_or(std::vector<ResourceName>{})) {
      ++tally->groups;
      auto a = system->FindResourceBytes(platform::kResourceTypeGroupIcon, name);
      auto b = own.FindResourceBytes(platform::kResourceTypeGroupIcon, name);
      ASSERT_EQ(bool(a), bool(b)) << "group " << Describe(name);
      if (!a) continue;
      EXPECT_TRUE(std::equal(a->begin(), a->end(), b->begin(), b->end())) << "group " << Describe(name);

      // The records the codec loads through either are the same, byte for byte.
      auto setA = LoadIconGroupFromModule(*system, path.c_str(), name);
      auto setB = LoadIconGroupFromModule(own, path.c_str(), name);
      ASSERT_EQ(bool(setA), bool(setB)) << "group " << Describe(name);
      if (setA) {
        ASSERT_EQ(setA->imageCount, setB->imageCount);
        for (uint32_t i = 0; i < setA->imageCount; ++i)
          EXPECT_TRUE(std::equal(setA->images[i].bytes().begin(), setA->images[i].bytes().end(),
                                 setB->images[i].bytes().begin(), setB->images[i].bytes().end()))
              << "group " << Describe(name) << " image " << i;
      }

      if (a->size() < 6 || a->size() < 6 + 14 * size_t(LoadU16(a->data() + 4))) continue;
      const int systemChoice = platform::LookupIconIdFromDirectory(*a);
      const int ownChoice = portable::ChooseBestIconId(*a);
      if (systemChoice == ownChoice) {
        ++tally->bestFitSame;
      } else {
        ++tally->bestFitDifferent;
        if (tally->bestFitExamples.size() < 5)
          tally->bestFitExamples.push_back(path + " group " + Describe(name) + ": system " +
                                           std::to_string(systemChoice) + ", ours " + std::to_string(ownChoice));
      }
      if (BestFitShouldAgree(*a)) {
        EXPECT_EQ(systemChoice, ownChoice) << "best fit of group " << Describe(name);
      }
    }
  }
}

void Report(const char* what, const ModuleTally& t) {
  std::printf("[ %s ] %d modules, %d groups, %d icons; best fit: %d same, %d different\n", what, t.modules, t.groups,
              t.icons, t.bestFitSame, t.bestFitDifferent);
  for (const std::string& e : t.bestFitExamples) std::printf("    e.g. %s\n", e.c_str());
}

TEST(ModuleCrossCheck, Wine64Modules) {
  ModuleTally tally;
  CrossCheckFolder("Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows", &tally);
  Report("x86_64-windows", tally);
  EXPECT_GT(tally.groups, 100);
}

TEST(ModuleCrossCheck, Wine32Modules) {
  const std::string folder = Wine32Folder();
  ASSERT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES)
      << folder << " is missing: run scripts/fetch-wine32-modules.sh";
  ModuleTally tally;
  CrossCheckFolder(folder, &tally);
  Report("i386-windows", tally);
  EXPECT_GT(tally.groups, 100);
}

// Directories Wine's modules do not have: no image at the default size, or
// several depths. Where the two models must agree they do; elsewhere the
// differences are printed, since Wine's choice is known to differ from
// Windows' (it takes the first of equally distant sizes, where Windows
// prefers the larger).
TEST(ModuleCrossCheck, BestFitOnOtherDirectories) {
  using test::GroupEntry;
  const std::vector<std::vector<GroupEntry>> cases = {
      {{16, 16, 32, 0, 1}, {48, 48, 32, 0, 2}},
      {{48, 48, 32, 0, 1}, {16, 16, 32, 0, 2}},
      {{24, 24, 8, 0, 1}, {40, 40, 8, 0, 2}},
      {{0, 0, 32, 0, 1}, {16, 16, 4, 0, 2}},
      {{32, 32, 4, 0, 1}, {32, 32, 8, 0, 2}, {32, 32, 24, 0, 3}},
      {{32, 32, 8, 0, 1}, {32, 32, 4, 0, 2}},
      {{64, 64, 32, 0, 1}, {20, 20, 32, 0, 2}},
      {{32, 16, 32, 0, 1}, {16, 32, 32, 0, 2}, {24, 24, 32, 0, 3}},
  };
  int differ = 0;
  for (const auto& entries : cases) {
    const test::ByteVector dir = test::GroupDirectory(entries);
    const int system = platform::LookupIconIdFromDirectory(dir);
    const int ours = portable::ChooseBestIconId(dir);
    std::string sizes;
    for (const GroupEntry& e : entries)
      sizes += std::to_string(e.width) + "x" + std::to_string(e.height) + "@" + std::to_string(e.bitCount) + " ";
    if (BestFitShouldAgree(dir)) {
      EXPECT_EQ(system, ours) << sizes;
    }
    if (system != ours) {
      ++differ;
      std::printf("    best fit differs for %s: system id %d, ours %d\n", sizes.c_str(), system, ours);
    }
  }
  std::printf("[ best fit ] %d of %zu other directories differ\n", differ, cases.size());
}

// Our order of the icon list against a real sorted list box.
TEST(ModuleCrossCheck, ListOrderMatchesASortedListBox) {
  std::vector<std::string> texts = {"Icon [1]",   "Icon [10]",  "Icon [2]",    "Icon [100]", "Icon [_Z]",
                                    "Icon [A-B]", "Icon [AB]",  "Icon [AC]",   "Icon [a]",   "Icon [B_X]",
                                    "Icon [Z9]",  "Icon [Z 9]", "Icon [Z.9]",  "Icon [#1]",  "Icon [~]",
                                    "Icon [\xCD\xBC\xB1\xEA]", "Icon [\xB0\xA1]", "Icon [it's]", "Icon [its]"};
  // Every group name of shell32 as well.
  if (auto shell = platform::OpenModuleAsData("Z:\\usr\\lib\\x86_64-linux-gnu\\wine\\x86_64-windows\\shell32.dll"))
    if (auto entries = ListIconGroups(*shell))
      for (const IconGroupEntry& e : *entries) texts.push_back(e.text);

  // Filled as the program fills its list: wide texts converted from GBK.
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(list);
  for (const std::string& t : texts) SendMessageW(list, LB_ADDSTRING, 0, LPARAM(win32::WideFromGbk(t).c_str()));
  std::vector<std::string> system;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t buffer[kListEntryBufferSize];
    SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(buffer));
    system.push_back(win32::GbkFromWide(buffer));
  }
  DestroyWindow(list);

  std::vector<std::string> ours = texts;
  std::stable_sort(ours.begin(), ours.end(),
                   [](const std::string& a, const std::string& b) { return CompareListText(a, b) < 0; });
  EXPECT_EQ(system, ours);
}

}  // namespace
}  // namespace pk
