// The open command inside the process: what cannot be seen from outside
// (item values, the record, handle and heap counts over many opens), drops,
// and the reading of file names and command lines (UTF-8).
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <set>
#include <tuple>

#include "codec_messages.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "framework/dpi.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "tests/support/bmp_builder.h"
#include "tests/support/ico_builder.h"
#include "tests/support/message_capture.h"
#include "tests/support/pe_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/win/gui_test_support.h"
#include "ui/main/main_dialog.h"
#include "ui/main/source_path.h"
#include "ui_messages.h"

// Live blocks of the C++ heap, to see that opening files leaves none behind.
namespace {
std::atomic<long> liveBlocks{0};
void* Allocate(size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (p) ++liveBlocks;
  return p;
}
void Release(void* p) {
  if (!p) return;
  --liveBlocks;
  std::free(p);
}
}  // namespace
void* operator new(size_t size) {
  if (void* p = Allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace pk {
namespace {

TEST(SourcePath, ExtensionsAreFoundAndLoweredInUtf8Paths) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\icons\\app.ICO", "ico"},
      {"C:\\icons\\app.Ico", "ico"},
      {"C:\\icons\\photo.BMP", "bmp"},
      {"C:\\icons\\module", ""},
      {"C:\\dir.v2\\module", ""},  // the dot belongs to a folder
      {"C:\\icons\\archive.tar.GZ", "gz"},
      {"dir/file.Dll", "dll"},
      {"C:file.EXE", "exe"},
      {"C:\\icons\\trailing.", ""},
      {"C:\\\xE4\xB8\xAD\xE6\x96\x87\\\xED\x95\x9C.Ico", "ico"},  // 中文\한.Ico
      {"C:\\x.\xC3\x89" "CO", "\xC3\x89" "co"},  // É is not an ASCII capital: left alone
  };
  for (auto [path, extension] : cases) EXPECT_EQ(LowerFileExtension(path), extension) << path;
}

TEST(SourcePath, CommandLinesNameOneFile) {
  const std::pair<const char*, const char*> files[] = {
      {"", ""},
      {"   ", ""},
      {"\"C:\\My Icons\\app.ico\"", "C:\\My Icons\\app.ico"},
      {"  \"C:\\a.dll\" --ignored", "C:\\a.dll"},
      {"C:\\My Icons\\app.ico  ", "C:\\My Icons\\app.ico"},
      {"\xE5\x9B\xBE\xE6\xA0\x87.Ico", "\xE5\x9B\xBE\xE6\xA0\x87.Ico"},
      {"\"unclosed.ico", "unclosed.ico"},
  };
  for (auto [line, file] : files) EXPECT_EQ(CommandLineFile(line), file) << line;

  // The program's own name is cut off whole, quoted or not, and no byte of
  // a multi-byte character is taken for a blank.
  const std::pair<const char*, const char*> arguments[] = {
      {"Pixelkite.exe", ""},
      {"Pixelkite.exe \xE5\x9B\xBE\xE6\xA0\x87.Ico", "\xE5\x9B\xBE\xE6\xA0\x87.Ico"},
      {"\"C:\\Program Files\\Pixelkite.exe\"  \"a b.ico\"", "\"a b.ico\""},
      {"C:\\\xF0\x9F\x98\x80.exe\t\t\xE5\x9B\xBE.dll x", "\xE5\x9B\xBE.dll x"},
  };
  for (auto [line, rest] : arguments) EXPECT_STREQ(CommandLineArguments(line), rest) << line;
}

class TestOpenDialog : public MainDialog {
 public:
  const IconSet* Record() const { return currentRecord.get(); }
  int Count() const { return iconList.GetCount(); }
  std::string EntryText(int i) const { return win32::Utf8FromWide(iconList.GetText(i)); }
  LRESULT EntryValue(int i) const { return iconList.GetItemData(i); }
  // Save as and Copy up to the write: the group loaded anew, and what would be written.
  const IconSetImage* LoadForSave() {
    LoadSelectedGroup();
    return AvailableFirstImage();
  }
};

class OpenCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PK_REQUIRE_DISPLAY();
    ASSERT_TRUE(dialog.Create());
    test::PumpMessages();
  }
  void TearDown() override {
    if (dialog.m_hWnd) DestroyWindow(dialog);
  }
  // Opens a file and lets the paint that follows make the preview.
  void Open(const std::string& path) {
    dialog.OpenPath(path);
    UpdateWindow(dialog);
  }
  std::string IconFile(const std::string& name, std::initializer_list<std::pair<int, uint16_t>> images) {
    test::IcoBuilder ico;
    for (auto [size, bits] : images) ico.Add(test::DibImage(size, size, bits));
    return dir.Write(name, ico.Build());
  }
  std::string Bitmap(const std::string& name, int width, int height, uint16_t bits) {
    return dir.Write(name, test::BmpFileOf(test::Gradient(width, height, bits)));
  }

  test::TempDir dir;
  test::MessageCapture capture;
  TestOpenDialog dialog;
};

TEST_F(OpenCommandTest, TextNamesTooLongForTheEntryAreCutThereOnly) {
  const std::u16string longName(300, u'N');
  test::PeBuilder pe;
  pe.Pe32Plus().Icon(1, test::DibImage(32, 32, 8)).Group(test::ByName(longName), test::GroupDirectory({{32, 32, 8, 0, 1}}));
  pe.Group(test::ById(7), test::GroupDirectory({{32, 32, 8, 0, 1}}));
  Open(dir.Write("long.dll", pe.Build().bytes));

  ASSERT_EQ(dialog.Count(), 2);
  // Text order: "Icon [7]" before "Icon [NNN...".
  EXPECT_EQ(dialog.EntryText(0), "Icon [7]");
  EXPECT_EQ(dialog.EntryValue(0), 7);
  const std::string text = dialog.EntryText(1);
  EXPECT_EQ(text.size(), 255u);
  EXPECT_EQ(text.substr(0, 7), "Icon [N");
  const LRESULT value = dialog.EntryValue(1);
  ASSERT_GE(ULONG_PTR(value), 0x10000u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(value)), std::string(300, 'N'));

  SendMessageA(GetDlgItem(dialog, IDC_ICON_LIST), LB_SETCURSEL, 1, 0);
  InvalidateRect(dialog, nullptr, TRUE);
  UpdateWindow(dialog);
  EXPECT_TRUE(dialog.PreviewIcon()) << "the preview finds the group by its whole name";
  const IconSetImage* image = dialog.LoadForSave();
  ASSERT_TRUE(image) << "so does Save as";
  EXPECT_EQ(image->width, 32);
  EXPECT_TRUE(capture.messages.empty());
}

TEST_F(OpenCommandTest, ABitmapWithNoImageToTakeTheSizeFromBecomesAnIconOfItsOwn) {
  const std::string big = Bitmap("big.bmp", 300, 150, 8);
  const std::string empty = dir.Write("empty.ico", test::IcoBuilder().Build());
  struct Case {
    const char* before;  // what leaves the record without a first image
    std::string path;
  };
  const Case cases[] = {{"start-up record", ""}, {"icon file without images", empty},
                        {"no record (missing file)", dir.Path("missing.ico")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    TestOpenDialog fresh;
    ASSERT_TRUE(fresh.Create());
    if (!c.path.empty()) fresh.OpenPath(c.path);
    capture.messages.clear();
    fresh.OpenPath(big);
    ASSERT_TRUE(fresh.Record());
    ASSERT_EQ(fresh.Record()->imageCount, 1u);
    const IconSetImage& image = fresh.Record()->images[0];
    // 300 x 150 fitted into 256 x 256, the aspect ratio kept, the depth its own.
    EXPECT_EQ(image.width, 256);
    EXPECT_EQ(image.height, 128);
    EXPECT_EQ(image.bitCount, 8u);
    EXPECT_EQ(fresh.Count(), 1);
    EXPECT_EQ(fresh.EntryText(0), big);
    EXPECT_TRUE(fresh.PreviewIcon());
    EXPECT_TRUE(capture.messages.empty());
    DestroyWindow(fresh);
  }
}

TEST_F(OpenCommandTest, ABitmapTheReaderRefusesLeavesTheStartupRecordAlone) {
  auto bytes = test::BmpFileOf(test::Gradient(8, 8, 24));
  bytes.resize(40);  // cut inside the info header
  Open(dir.Write("short.bmp", bytes));
  ASSERT_EQ(capture.messages.size(), 2u);
  EXPECT_EQ(capture.messages[1].text, ui_msg::kNoIcons);
  ASSERT_TRUE(dialog.Record());
  EXPECT_EQ(dialog.Record()->imageCount, 0u);
  EXPECT_STREQ(dialog.Record()->iconFilePath, "Untitled");
  EXPECT_EQ(dialog.Count(), 0);
  EXPECT_FALSE(dialog.LoadForSave());
}

TEST_F(OpenCommandTest, AFailedOpenLeavesNothingOfTheFileBefore) {
  for (const std::string& path : {dir.Write("text.exe", {'n', 'o', 't'}), dir.Path("missing.ico")}) {
    Open(IconFile("good.ico", {{32, 8}}));
    ASSERT_TRUE(dialog.PreviewIcon() && IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE_AS)));
    Open(path);
    EXPECT_EQ(dialog.Count(), 0) << path;
    EXPECT_FALSE(SendDlgItemMessageW(dialog, IDC_PREVIEW, STM_GETICON, 0, 0)) << path;
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE_AS)) || IsWindowEnabled(GetDlgItem(dialog, IDC_COPY)));
  }
}

// The picture of `dialog` as it draws itself, and its background with its icon drawn into `at`.
std::pair<test::Picture, test::Picture> PreviewPixels(HWND dialog, RECT at) {
  HWND preview = GetDlgItem(dialog, IDC_PREVIEW);
  RECT box;
  GetClientRect(preview, &box);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, box.right, box.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  FillRect(memory, &box, HBRUSH(SendMessageW(dialog, WM_CTLCOLORSTATIC, WPARAM(memory), LPARAM(preview))));
  DrawIconEx(memory, at.left, at.top, HICON(SendMessageW(preview, STM_GETICON, 0, 0)), at.right - at.left,
             at.bottom - at.top, 0, nullptr, DI_NORMAL);
  SelectObject(memory, old);
  test::Picture expected = test::ReadBitmap(bitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return {test::PrintClient(preview, box.right, box.bottom), expected};
}

TEST_F(OpenCommandTest, ThePreviewScalesALargeIconDownWholeAndCentresASmallOneAtItsOwnSize) {
  RECT box;
  GetClientRect(GetDlgItem(dialog, IDC_PREVIEW), &box);
  const int w = box.right, h = box.bottom;
  EXPECT_GE(std::min(w, h), ScaleToDpi(32, WindowDpi(dialog))) << "a 32-pixel icon fits whole";
  // A bitmap opened first becomes a 256 x 128 icon: the box's width, half as high, in the middle.
  Open(Bitmap("wide.bmp", 300, 150, 24));
  auto [drawn, expected] = PreviewPixels(dialog, {0, (h - w / 2) / 2, w, (h - w / 2) / 2 + w / 2});
  EXPECT_TRUE(drawn == expected) << "the 256-pixel icon is scaled, not cut";
  TestOpenDialog fresh;
  ASSERT_TRUE(fresh.Create());
  fresh.OpenPath(Bitmap("small.bmp", 16, 16, 24));
  std::tie(drawn, expected) = PreviewPixels(fresh, {(w - 16) / 2, (h - 16) / 2, (w + 16) / 2, (h + 16) / 2});
  EXPECT_TRUE(drawn == expected) << "the 16-pixel icon is centred at its own size";
  DestroyWindow(fresh);
}

// A drop as the shell makes it: a DROPFILES block followed by the wide names.
HGLOBAL MakeDrop(const std::vector<std::string>& files) {
  std::wstring names;
  for (const std::string& f : files) names += win32::WideFromUtf8(f) + L'\0';
  names += L'\0';
  const size_t bytes = names.size() * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), bytes);
  GlobalUnlock(block);
  return block;
}

// 32-bit icons with alpha and no mask, or half a mask: the system makes
// icons of them, so they are listed, previewed and saved.
TEST_F(OpenCommandTest, AlphaIconsWithoutAWholeMaskOpen) {
  for (const char* name : {"alpha-no-mask.ico", "alpha-short-mask.ico"}) {
    SCOPED_TRACE(name);
    std::string path = "Z:" + std::string(PK_SOURCE_DIR) + "/tests/data/ico/" + name;
    std::replace(path.begin(), path.end(), '/', '\\');
    Open(path);
    EXPECT_TRUE(capture.messages.empty());
    ASSERT_EQ(dialog.Count(), 1);
    EXPECT_EQ(dialog.EntryText(0), path);
    EXPECT_TRUE(dialog.PreviewIcon());
    const IconSetImage* image = dialog.LoadForSave();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->bitCount, 32u);
  }
}

TEST_F(OpenCommandTest, TheFirstDroppedFileOpens) {
  EXPECT_TRUE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  const std::string icon = IconFile("dropped.ico", {{32, 4}, {16, 8}});
  const std::string bitmap = Bitmap("second.bmp", 16, 16, 24);
  SendMessageA(dialog, WM_DROPFILES, WPARAM(MakeDrop({icon, bitmap})), 0);
  UpdateWindow(dialog);
  ASSERT_EQ(dialog.Count(), 1);
  EXPECT_EQ(dialog.EntryText(0), icon);
  ASSERT_TRUE(dialog.Record());
  EXPECT_EQ(dialog.Record()->imageCount, 2u);
  EXPECT_TRUE(dialog.PreviewIcon());
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_SAVE_AS)));
}

TEST_F(OpenCommandTest, ADroppedNameLongerThanAPathOpensWholeAndFails) {
  // Cut to fit a buffer of MAX_PATH, the name would be another one: here a
  // folder's, with no extension, which would be opened as a module.
  const std::string name = dir.Path(std::string(150, 'd') + "\\" + std::string(150, 'e') + ".ico");
  ASSERT_GT(name.size(), size_t(MAX_PATH));
  SendMessageA(dialog, WM_DROPFILES, WPARAM(MakeDrop({name})), 0);
  ASSERT_EQ(capture.messages.size(), 2u);
  EXPECT_EQ(capture.messages[0].caption, name);
  EXPECT_EQ(capture.messages[0].text, msg::kIcoOpenFailed);
  EXPECT_EQ(capture.messages[1].text, ui_msg::kNoIcons);
  EXPECT_EQ(dialog.Count(), 0);
}

// Distinct mappings (files and images) in the address space: a module left
// open stays mapped.
int MappedViews() {
  int views = 0;
  MEMORY_BASIC_INFORMATION info;
  const void* last = nullptr;
  for (auto* at = static_cast<const char*>(nullptr); VirtualQuery(at, &info, sizeof info) == sizeof info;
       at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.State != MEM_FREE && (info.Type == MEM_MAPPED || info.Type == MEM_IMAGE) &&
        info.AllocationBase != last) {
      ++views;
      last = info.AllocationBase;
    }
    if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < at) break;
  }
  return views;
}

TEST_F(OpenCommandTest, TwoHundredOpensLeaveNoHandleModuleOrHeapBlockBehind) {
  // Copies: a module this process has loaded would be handed out again
  // rather than mapped as data.
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  auto copyOf = [&](const char* name, const char* as) {
    CopyFileA((std::string(system) + "\\" + name).c_str(), dir.Path(as).c_str(), FALSE);
    return dir.Path(as);
  };
  const std::vector<std::string> files = {
      copyOf("comdlg32.dll", "dialogs.dll"),  // text-named groups, each with a name copy
      IconFile("three.ico", {{32, 4}, {16, 8}, {48, 32}}),
      Bitmap("photo.bmp", 40, 30, 24),
      copyOf("user32.dll", "users.dll"),  // integer groups
      dir.Write("text.exe", {'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'd', 'u', 'l', 'e'}),
      copyOf("version.dll", "versions.dll"),  // no icons
      dir.Path("missing.ico"),
  };
  std::vector<HICON> seen;
  seen.reserve(300);  // no block of its own while the heap is counted
  size_t messages = 0;
  auto cycle = [&](int opens) {
    for (int i = 0; i < opens; ++i) {
      Open(files[size_t(i) % files.size()]);
      seen.push_back(dialog.PreviewIcon());
      // Save as and Copy load the group anew: their records are released too.
      dialog.LoadForSave();
      // Counted and dropped, so that the capture itself does not grow.
      messages += capture.messages.size();
      capture.messages.clear();
    }
  };
  cycle(int(files.size()) * 2);  // every kind twice, and any one-time allocations
  messages = 0;

#ifdef PK_COUNT_HANDLES
  using win32::HandleKind;
  long handles[size_t(HandleKind::Count)];
  for (size_t k = 0; k < size_t(HandleKind::Count); ++k) handles[k] = win32::LiveHandles(HandleKind(k));
#endif
  const int views = MappedViews();
  const long blocks = liveBlocks;

  cycle(int(files.size()) * 29);  // 203 opens, ending where the warm-up ended
  EXPECT_EQ(liveBlocks - blocks, 0) << "heap blocks left behind";
  EXPECT_EQ(MappedViews(), views) << "modules left open";
  EXPECT_EQ(test::LiveReplacedIcons({seen.begin(), seen.end()}, dialog.PreviewIcon()), 0);
#ifdef PK_COUNT_HANDLES
  for (size_t k = 0; k < size_t(HandleKind::Count); ++k)
    EXPECT_EQ(win32::LiveHandles(HandleKind(k)), handles[k]) << "handle kind " << k;
#endif
  // Each failure still said what it says once per open.
  EXPECT_EQ(messages, 29u * 4);
}

}  // namespace
}  // namespace pk
