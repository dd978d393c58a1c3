// The application framework: names, filters, data exchange, dialog colours
// and the handle counts the leak tests rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include "framework/dialog.h"
#include "framework/file_dialog.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "tests/win/gui_test_support.h"

namespace pk {
namespace {

TEST(Framework, ApplicationNameIsTheExecutableNameCutAtTheLastDot) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Tools\\grabber.exe", "grabber"},
      {"C:\\Tools\\my.grabber.exe", "my.grabber"},
      {"C:\\Tools\\Grabber2.EXE", "Grabber2"},
      {"C:\\dir.with.dots\\plain", "plain"},
      {"grabber.exe", "grabber"},
  };
  for (auto [path, name] : cases) EXPECT_EQ(AppNameFromPath(path), name) << path;
}

TEST(Framework, FilterNotationBecomesTheSystemsTerminatedList) {
  using namespace std::string_literals;
  EXPECT_EQ(ConvertFilter("Icons(*.ICO)|*.ICO|Bitmaps(*.BMP)|*.BMP||"),
            L"Icons(*.ICO)\0*.ICO\0Bitmaps(*.BMP)\0*.BMP\0\0\0\0"s);
  // A list without its closing bars still ends in two terminators.
  EXPECT_EQ(ConvertFilter("All|*.*"), L"All\0*.*\0\0"s);
  // GBK, whatever the system's code page; 亅 (81 7C) has the bar's code as its trail byte.
  EXPECT_EQ(ConvertFilter("\xCD\xBC\xB1\xEA\x81\x7C|*.ICO||"), L"\u56FE\u6807\u4E85\0*.ICO\0\0\0\0"s);
}

#ifdef PK_COUNT_HANDLES
TEST(Framework, HandleCountsFollowTheWrappersAndCatchALeak) {
  using win32::HandleKind;
  using win32::LiveHandles;
  long bitmaps = LiveHandles(HandleKind::Bitmap), dcs = LiveHandles(HandleKind::Dc);
  {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(dc, 4, 4);
    EXPECT_EQ(LiveHandles(HandleKind::Bitmap), bitmaps + 1);
    EXPECT_EQ(LiveHandles(HandleKind::Dc), dcs + 1);
  }
  EXPECT_EQ(LiveHandles(HandleKind::Bitmap), bitmaps);
  EXPECT_EQ(LiveHandles(HandleKind::Dc), dcs);

  // A deliberate leak: the wrapper is never destroyed.
  auto* leaked = new CBitmap;
  leaked->CreateBitmap(4, 4, 1, 1, nullptr);
  EXPECT_EQ(LiveHandles(HandleKind::Bitmap), bitmaps + 1);
  delete leaked;
  EXPECT_EQ(LiveHandles(HandleKind::Bitmap), bitmaps);

  // A borrowed device context is not counted and not deleted.
  HDC own = CreateCompatibleDC(nullptr);
  { CDC view = CDC::Borrow(own); }
  EXPECT_EQ(LiveHandles(HandleKind::Dc), dcs);
  EXPECT_NE(GetObjectType(own), 0u);
  DeleteDC(own);
}
#endif

// The settings template's radio group 1008/1009, bound with DDX_Radio.
class RadioDialog : public CDialog {
 public:
  RadioDialog() : CDialog(IDD_SETTINGS) {}
  int mode = -1;

 protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Radio(dx, IDC_UPDATE_PROMPT, mode); }
};

TEST(Framework, RadioExchangeMovesTheCheckedIndexBothWays) {
  PK_REQUIRE_DISPLAY();
  RadioDialog dialog;
  ASSERT_TRUE(dialog.Create());
  auto checked = [&](int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; };
  // -1 at initialisation: neither button checked.
  EXPECT_FALSE(checked(IDC_UPDATE_PROMPT));
  EXPECT_FALSE(checked(IDC_UPDATE_AUTO));
  dialog.UpdateData(TRUE);
  EXPECT_EQ(dialog.mode, -1);

  dialog.mode = 1;
  dialog.UpdateData(FALSE);
  EXPECT_FALSE(checked(IDC_UPDATE_PROMPT));
  EXPECT_TRUE(checked(IDC_UPDATE_AUTO));

  CheckDlgButton(dialog, IDC_UPDATE_AUTO, BST_UNCHECKED);
  CheckDlgButton(dialog, IDC_UPDATE_PROMPT, BST_CHECKED);
  dialog.UpdateData(TRUE);
  EXPECT_EQ(dialog.mode, 0);
  DestroyWindow(dialog);
}

TEST(Framework, DialogsPaintOnTheApplicationsBackgroundExceptListsAndEdits) {
  PK_REQUIRE_DISPLAY();
  CWinApp app;
  app.SetDialogBkColor(RGB(219, 219, 219), RGB(0, 0, 0));
  CDialog dialog(IDD_SETTINGS);
  ASSERT_TRUE(dialog.Create());
  HDC dc = GetDC(dialog);
  struct Case {
    UINT message;
    bool ours;
  };
  const Case cases[] = {{WM_CTLCOLORDLG, true},      {WM_CTLCOLORSTATIC, true}, {WM_CTLCOLORBTN, true},
                        {WM_CTLCOLORLISTBOX, false}, {WM_CTLCOLOREDIT, false}};
  for (const Case& c : cases) {
    SetBkColor(dc, RGB(1, 2, 3));
    SetTextColor(dc, RGB(4, 5, 6));
    LRESULT brush = SendMessageA(dialog, c.message, WPARAM(dc), LPARAM(dialog.GetDlgItem(IDOK)));
    EXPECT_EQ(brush == LRESULT(app.DialogBackgroundBrush()), c.ours) << std::hex << c.message;
    EXPECT_EQ(GetBkColor(dc) == RGB(219, 219, 219), c.ours) << std::hex << c.message;
    if (c.ours) EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0)) << std::hex << c.message;
  }
  ReleaseDC(dialog, dc);
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace pk
