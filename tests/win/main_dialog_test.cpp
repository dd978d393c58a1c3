// The main dialog as the user first meets it, its minimised paint, and its
// preview refresh over many repaints.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "codec/icon_group.h"
#include "platform/main_window.h"
#include "platform/module.h"
#include "platform/win32/wide_text.h"
#include "res/resource.h"
#include "tests/support/message_capture.h"
#include "tests/win/gui_test_support.h"
#include "ui/main/main_dialog.h"
#include "ui_messages.h"

namespace pk {
namespace {

// Reaches the state the open command leaves behind.
class TestMainDialog : public MainDialog {
 public:
  bool failAllocation = false;

  const IconSet* Record() const { return currentRecord.get(); }
  void UseModule(const std::string& path, uint16_t group) {
    sourceModule = platform::OpenModuleAsData(path.c_str());
    sourcePath = path;
    sourceExtension = "dll";
    iconList.ResetContent();
    int index = iconList.AddString(L"Icon [128]");
    iconList.SetItemData(index, group);
    iconList.SetCurSel(index);
  }

 protected:
  std::unique_ptr<IconSet> MakeStartupRecord() override {
    return failAllocation ? nullptr : MainDialog::MakeStartupRecord();
  }
};

std::string OwnPath() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return win32::Utf8FromWide(path);
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PK_REQUIRE_DISPLAY();
    ASSERT_TRUE(dialog.Create());
    test::PumpMessages();
  }
  void TearDown() override {
    if (dialog.m_hWnd) DestroyWindow(dialog);
  }
  HWND Item(int id) { return GetDlgItem(dialog, id); }

  TestMainDialog dialog;
};

TEST_F(MainDialogTest, StartsWithEmptyListAndPreviewAndOnlySaveAndCopyDisabled) {
  EXPECT_EQ(SendMessageA(Item(IDC_ICON_LIST), LB_GETCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageA(Item(IDC_PREVIEW), STM_GETICON, 0, 0), 0);
  const std::pair<int, bool> buttons[] = {{IDOK, true}, {IDCANCEL, true}, {IDC_SAVE_AS, false},
                                          {IDC_COPY, false}, {3, true},   {IDC_SETTINGS, true}};
  for (auto [id, enabled] : buttons) {
    EXPECT_EQ(bool(IsWindowEnabled(Item(id))), enabled) << id;
    EXPECT_EQ(GetWindowLongA(Item(id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW) << id;
  }
  EXPECT_EQ(platform::MainWindow(), static_cast<void*>(dialog.m_hWnd));
}

TEST_F(MainDialogTest, StartupRecordIsUntitledWithRoomForOneImage) {
  const IconSet* record = dialog.Record();
  ASSERT_TRUE(record);
  EXPECT_STREQ(record->iconFilePath, "Untitled");
  EXPECT_STREQ(record->moduleFilePath, "");
  EXPECT_EQ(record->imageCount, 0u);
  EXPECT_EQ(record->images.size(), 1u);
}

TEST_F(MainDialogTest, SystemMenuEndsWithSeparatorAndAboutEntry) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  int count = GetMenuItemCount(menu);
  ASSERT_GE(count, 2);
  MENUITEMINFOA separator{};
  separator.cbSize = sizeof separator;
  separator.fMask = MIIM_FTYPE;
  ASSERT_TRUE(GetMenuItemInfoA(menu, UINT(count - 2), TRUE, &separator));
  EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
  wchar_t text[64] = {};
  GetMenuStringW(menu, UINT(count - 1), text, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), L"关于 Pixelkite(&A)...");
  EXPECT_EQ(GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
}

TEST_F(MainDialogTest, WindowAndDragIconsAreTheApplicationIcon) {
  HICON appIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  ASSERT_TRUE(appIcon);
  EXPECT_EQ(HICON(SendMessageA(dialog, WM_QUERYDRAGICON, 0, 0)), appIcon);
  EXPECT_EQ(HICON(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0)), appIcon);
  EXPECT_EQ(HICON(SendMessageA(dialog, WM_GETICON, ICON_SMALL, 0)), appIcon);
}

TEST_F(MainDialogTest, MinimisedPaintDrawsTheApplicationIconCentred) {
  ShowWindow(dialog, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(dialog));
  RECT client;
  GetClientRect(dialog, &client);
  const int cx = GetSystemMetrics(SM_CXICON), cy = GetSystemMetrics(SM_CYICON);
  const int x = (client.right - cx + 1) / 2, y = (client.bottom - cy + 1) / 2;
  // The client area of a minimised window may be empty: render with an
  // offset so the whole icon lands inside the bitmap wherever it goes.
  const int size = 4 * cx, shiftX = cx - x + 4, shiftY = cy - y + 4;
  test::Picture rendered = test::PrintClient(dialog, size, size, shiftX, shiftY);

  // The icon drawn on black and on white at the same spot: where both agree
  // the icon is opaque, and the rendering must show exactly those pixels.
  HICON appIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  auto drawnOn = [&](COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT all{0, 0, size, size};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIcon(memory, x + shiftX, y + shiftY, appIcon);
    SelectObject(memory, old);
    test::Picture picture = test::ReadBitmap(bitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
  };
  test::Picture onBlack = drawnOn(RGB(0, 0, 0)), onWhite = drawnOn(RGB(255, 255, 255));
  int compared = 0, differing = 0;
  for (size_t i = 0; i < rendered.pixels.size(); ++i) {
    if (onBlack.pixels[i] != onWhite.pixels[i]) continue;
    ++compared;
    differing += rendered.pixels[i] != onBlack.pixels[i];
  }
  EXPECT_GT(compared, cx * cy / 4);
  EXPECT_EQ(differing, 0);
  ShowWindow(dialog, SW_RESTORE);
}

TEST_F(MainDialogTest, ReplacedIconCheckCatchesADeliberateLeak) {
  HICON appIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
  HICON first = CopyIcon(appIcon), second = CopyIcon(appIcon);
  EXPECT_EQ(test::LiveReplacedIcons({first, second}, second), 1);
  DestroyIcon(first);
  EXPECT_EQ(test::LiveReplacedIcons({first, second}, second), 0);
  DestroyIcon(second);
}

#ifdef PK_COUNT_HANDLES
// The icon line of the counters moves with the icons the program owns: a
// preview icon made as the paint makes it, leaked on purpose, stays counted.
TEST_F(MainDialogTest, IconCounterCatchesADeliberateLeak) {
  using win32::HandleKind;
  const long before = win32::LiveHandles(HandleKind::Icon);
  auto module = platform::OpenModuleAsData(OwnPath().c_str());
  ASSERT_TRUE(module);
  const auto name = platform::ResourceName::FromId(IDR_MAINFRAME);
  platform::IconHandle icon = LoadGroupPreviewIcon(*module, &name);
  ASSERT_TRUE(icon);
  EXPECT_EQ(win32::LiveHandles(HandleKind::Icon), before + 1);
  platform::NativeIcon* leaked = icon.release();
  EXPECT_EQ(win32::LiveHandles(HandleKind::Icon), before + 1);
  platform::IconHandle{leaked};  // handed back after all
  EXPECT_EQ(win32::LiveHandles(HandleKind::Icon), before);
}
#endif

TEST_F(MainDialogTest, RepaintingAModulesGroupFiveHundredTimesLeaksNothing) {
  dialog.UseModule(OwnPath(), IDR_MAINFRAME);
  auto repaint = [&] {
    InvalidateRect(dialog, nullptr, TRUE);
    UpdateWindow(dialog);
  };
  repaint();  // the first preview, and any one-time allocations
  ASSERT_TRUE(dialog.PreviewIcon());
  EXPECT_EQ(HICON(SendMessageA(Item(IDC_PREVIEW), STM_GETICON, 0, 0)), dialog.PreviewIcon());

#ifdef PK_COUNT_HANDLES
  using win32::HandleKind;
  const HandleKind kinds[] = {HandleKind::Dc, HandleKind::Bitmap, HandleKind::Font, HandleKind::Brush,
                              HandleKind::Icon, HandleKind::OtherGdi};
  long before[std::size(kinds)];
  for (size_t k = 0; k < std::size(kinds); ++k) before[k] = win32::LiveHandles(kinds[k]);
#endif
  std::set<HICON> seen;
  for (int i = 0; i < 500; ++i) {
    repaint();
    seen.insert(dialog.PreviewIcon());
    ASSERT_EQ(HICON(SendMessageA(Item(IDC_PREVIEW), STM_GETICON, 0, 0)), dialog.PreviewIcon()) << i;
  }
  EXPECT_EQ(test::LiveReplacedIcons(seen, dialog.PreviewIcon()), 0);
#ifdef PK_COUNT_HANDLES
  for (size_t k = 0; k < std::size(kinds); ++k) EXPECT_EQ(win32::LiveHandles(kinds[k]), before[k]) << int(kinds[k]);
#endif
}

TEST_F(MainDialogTest, SelectionChangeRepaintsWithThePreviewOfTheGroup) {
  dialog.UseModule(OwnPath(), IDR_MAINFRAME);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ICON_LIST, LBN_SELCHANGE), LPARAM(Item(IDC_ICON_LIST)));
  UpdateWindow(dialog);
  EXPECT_TRUE(dialog.PreviewIcon());
  // A group the module does not have empties the picture.
  SendMessageA(Item(IDC_ICON_LIST), LB_SETITEMDATA, 0, 4242);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ICON_LIST, LBN_SELCHANGE), LPARAM(Item(IDC_ICON_LIST)));
  UpdateWindow(dialog);
  EXPECT_FALSE(dialog.PreviewIcon());
  EXPECT_EQ(SendMessageA(Item(IDC_PREVIEW), STM_GETICON, 0, 0), 0);
}

// Notes the commands the keyboard runs instead of running them.
class CommandRecordingDialog : public MainDialog {
 public:
  std::vector<UINT> ran;

 protected:
  void OnOK() override { ran.push_back(IDOK); }
  void OnCancel() override { ran.push_back(IDCANCEL); }
  BOOL OnCommand(UINT id, UINT code, HWND control) override {
    if (code != BN_CLICKED || id == IDOK || id == IDCANCEL) return MainDialog::OnCommand(id, code, control);
    ran.push_back(id);
    return TRUE;
  }
};

TEST(MainDialogKeyboard, EnterAndSpaceRunTheFocusedButtonAndEnterElsewhereTheDefault) {
  PK_REQUIRE_DISPLAY();
  CommandRecordingDialog dialog;
  ASSERT_TRUE(dialog.Create());
  for (int id : {IDC_SAVE_AS, IDC_COPY}) EnableWindow(GetDlgItem(dialog, id), TRUE);
  // A key as the keyboard delivers it, through the dialog manager.
  auto press = [&](int focusId, UINT key) {
    SendMessageW(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, focusId)), TRUE);
    dialog.ran.clear();
    for (UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) PostMessageW(GetFocus(), message, key, 0x00010001);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(dialog, &m)) DispatchMessageW(&m);
    }
    return dialog.ran;
  };
  for (UINT id : {IDOK, IDCANCEL, IDC_SAVE_AS, IDC_COPY, IDC_ABOUT, IDC_SETTINGS}) {
    EXPECT_EQ(press(id, VK_RETURN), std::vector<UINT>{id}) << "Enter on " << id;
    EXPECT_EQ(press(id, VK_SPACE), std::vector<UINT>{id}) << "Space on " << id;
  }
  EXPECT_EQ(press(IDC_ICON_LIST, VK_RETURN), std::vector<UINT>{IDOK}) << "Enter on the list: Browse";
  DestroyWindow(dialog);
}

TEST(MainDialogStartup, RefusesToStartWithAMessageWhenTheRecordCannotBeHad) {
  PK_REQUIRE_DISPLAY();
  test::MessageCapture capture;
  TestMainDialog dialog;
  dialog.failAllocation = true;
  EXPECT_EQ(dialog.DoModal(), IDABORT);
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_EQ(capture.messages[0].text, ui_msg::kStartupOutOfMemory);
  EXPECT_EQ(capture.messages[0].caption, ui_msg::kErrorCaption);
}

}  // namespace
}  // namespace pk
