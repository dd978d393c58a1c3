// The about box on template 100 under Wine: its controls, its links, the
// three ways it ends, and the main window's button and system commands that
// open it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pk_version.h"
#include "framework/dpi.h"
#include "res/maker.h"
#include "res/resource.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/gui_test_support.h"
#include "tests/win/link_handler.h"
#include "ui/controls/hyperlink_label.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/main/main_dialog.h"

namespace pk {
namespace {

const std::wstring kAboutCaption = L"关于";

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The build's texts are UTF-8.
std::wstring Widen(const char* text) {
  wchar_t wide[256] = {};
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 256);
  return wide;
}

TEST(AboutDialog, ControlsAreThoseOfItsTemplateWithTwoLinksAndASkinnedButton) {
  PK_REQUIRE_DISPLAY();
  AboutDialog about;
  ASSERT_TRUE(about.Create());
  HWND box = about.m_hWnd;
  EXPECT_EQ(test::DialogDriver::Text(box), kAboutCaption);

  struct Control {
    const wchar_t* className;
    int id;
    RECT units;  // left, top, width, height in dialog units
    DWORD type;  // SS_ type of a static (SS_TYPEMASK), BS_ type of the button
    DWORD styles;
    std::wstring text;
  };
  const std::vector<Control> expected = {
      {L"Static", -1, {8, 11, 20, 20}, SS_ICON, 0, L""},
      {L"Static", -1, {43, 9, 69, 8}, SS_CENTER, SS_NOPREFIX | WS_GROUP, Widen(PK_ABOUT_VERSION_LINE)},
      {L"Static", -1, {8, 53, 25, 8}, SS_CENTER, WS_GROUP, L"邮箱："},
      // Bound to its skin, the default push button becomes owner-drawn.
      {L"Button", IDC_ABOUT_OK, {137, 71, 50, 14}, BS_OWNERDRAW, WS_TABSTOP | WS_GROUP, L"确定"},
      {L"Static", -1, {43, 23, 132, 28}, SS_LEFT, WS_GROUP,
       L"   可以提取EXE、DLL等多种文件中的\r\n图标资源，并可将其保存为图标(ICO)\r\n和位图(BMP)两种格式。"},
      {L"Static", IDC_MAIL_LINK, {35, 53, 57, 8}, SS_CENTER, WS_GROUP | SS_NOTIFY, Widen(PK_MAKER_EMAIL)},
      {L"Static", -1, {8, 65, 25, 8}, SS_CENTER, WS_GROUP, L"网站："},
      {L"Static", IDC_WEB_LINK, {35, 65, 85, 8}, SS_CENTER, WS_GROUP | SS_NOTIFY, Widen(PK_MAKER_WEB_SITE)},
  };
  RECT size{0, 0, 191, 89};
  MapDialogRect(box, &size);
  RECT client;
  GetClientRect(box, &client);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);

  HWND child = GetWindow(box, GW_CHILD);
  for (const Control& c : expected) {
    ASSERT_TRUE(child) << "fewer controls than the template";
    SCOPED_TRACE(testing::Message() << "control " << c.id << " at " << c.units.left << "," << c.units.top);
    EXPECT_EQ(ClassOf(child), c.className);
    EXPECT_EQ(GetDlgCtrlID(child) & 0xFFFF, c.id & 0xFFFF);
    // Position and size are converted apart, as the dialog manager does.
    RECT pixels = c.units;
    MapDialogRect(box, &pixels);
    RECT placed;
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&placed), 2);
    // The links are sized to their addresses (see below); the rest keep the template's places.
    const bool link = c.id == IDC_MAIL_LINK || c.id == IDC_WEB_LINK;
    if (!link) {
      EXPECT_EQ(placed.left, pixels.left);
    }
    EXPECT_EQ(placed.top, pixels.top);
    if (c.type != SS_ICON && !link) {  // an icon control takes its icon's size
      EXPECT_EQ(placed.right - placed.left, pixels.right);
      EXPECT_EQ(placed.bottom - placed.top, pixels.bottom);
    }
    DWORD style = DWORD(GetWindowLongW(child, GWL_STYLE));
    DWORD typeMask = c.className == std::wstring(L"Button") ? BS_TYPEMASK : SS_TYPEMASK;
    EXPECT_EQ(style & typeMask, c.type);
    EXPECT_EQ(style & c.styles, c.styles);
    if (c.type == SS_ICON) {
      EXPECT_TRUE(SendMessageW(child, STM_GETICON, 0, 0)) << "the application icon";
    } else {
      EXPECT_EQ(test::DialogDriver::Text(child), c.text);
    }
    child = GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_FALSE(child) << "more controls than the template";

  // The two addresses are links, in the default colour, to the maker.
  for (auto [id, target] : {std::pair{IDC_MAIL_LINK, PK_MAKER_MAILTO}, std::pair{IDC_WEB_LINK, PK_MAKER_WEB_SITE}}) {
    HWND link = GetDlgItem(box, id);
    EXPECT_EQ(GetWindowLongPtrW(link, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&HyperlinkWindowProc));
    auto* record = reinterpret_cast<HyperlinkLabel*>(GetWindowLongPtrA(link, GWLP_USERDATA));
    ASSERT_TRUE(record);
    EXPECT_STREQ(record->target, target);
    EXPECT_EQ(record->textColor, kDefaultLinkColor);
  }
  DestroyWindow(box);
}

RECT RectIn(HWND dialog, HWND child) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Also run at 144 DPI (PK_EXPECT_DPI): each address fits its link whole, on
// the dialog's own background, and no two controls overlap.
TEST(AboutDialog, AddressesShowWholeOnTheDialogsBackgroundAndNothingOverlaps) {
  PK_REQUIRE_DISPLAY();
  AboutDialog about;
  ASSERT_TRUE(about.Create());
  HWND box = about.m_hWnd;
  if (const char* dpi = std::getenv("PK_EXPECT_DPI")) {
    ASSERT_EQ(int(WindowDpi(box)), std::atoi(dpi));
  }
  LOGFONTW underlined{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof underlined, &underlined);
  underlined.lfUnderline = TRUE;
  HFONT font = CreateFontIndirectW(&underlined);
  HDC dc = GetDC(box);
  SelectObject(dc, font);
  LOGBRUSH dialogBrush{};
  GetObjectW(HBRUSH(SendMessageW(box, WM_CTLCOLORDLG, WPARAM(dc), LPARAM(box))), sizeof dialogBrush, &dialogBrush);
  for (auto [id, address] : {std::pair{IDC_MAIL_LINK, PK_MAKER_EMAIL}, std::pair{IDC_WEB_LINK, PK_MAKER_WEB_SITE}}) {
    const std::wstring text = Widen(address);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &extent);
    const RECT r = RectIn(box, GetDlgItem(box, id));
    EXPECT_LE(extent.cx, r.right - r.left) << address << " is cut";
    EXPECT_LE(extent.cy, r.bottom - r.top) << address;
    // Beside the text: the dialog's colour, no band of another.
    const COLORREF c = dialogBrush.lbColor;
    EXPECT_EQ(test::PrintClient(GetDlgItem(box, id), r.right - r.left, r.bottom - r.top).At(0, 0),
              uint32_t(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c)) << address;
  }
  ReleaseDC(box, dc);
  DeleteObject(font);
  RECT client, both;
  GetClientRect(box, &client);
  for (HWND a = GetWindow(box, GW_CHILD); a; a = GetWindow(a, GW_HWNDNEXT)) {
    const RECT ra = RectIn(box, a);
    EXPECT_TRUE(IntersectRect(&both, &client, &ra) && EqualRect(&both, &ra)) << GetDlgCtrlID(a) << " is outside";
    for (HWND b = GetWindow(a, GW_HWNDNEXT); b; b = GetWindow(b, GW_HWNDNEXT)) {
      const RECT rb = RectIn(box, b);
      EXPECT_FALSE(IntersectRect(&both, &ra, &rb)) << GetDlgCtrlID(a) << " and " << GetDlgCtrlID(b) << " overlap";
    }
  }
  DestroyWindow(box);
}

TEST(AboutDialog, OkEscapeAndTheCloseBoxEndItWithCancel) {
  PK_REQUIRE_DISPLAY();
  enum Way { OkButton, Escape, CloseBox };
  for (Way way : {OkButton, Escape, CloseBox}) {
    AboutDialog about;
    INT_PTR result;
    {
      test::DialogDriver driver([way](test::DialogDriver& d) {
        HWND box = d.WaitFor(kAboutCaption, IDC_ABOUT_OK);
        if (!box) return;
        if (way == OkButton) d.Click(box, IDC_ABOUT_OK);
        if (way == Escape) d.PressEscape(box);
        if (way == CloseBox) d.CloseBox(box);
      });
      result = about.DoModal();
    }
    EXPECT_EQ(result, IDCANCEL) << "way " << way;
  }
}

TEST(AboutDialog, LinksStartAMailToTheMakerAndOpenItsSiteWhileTheBoxStaysOpen) {
  PK_REQUIRE_DISPLAY();
  test::LinkHandler handler({"mailto", "https"});
  AboutDialog about;
  bool stayedOpen = false;
  std::string opened;
  {
    test::DialogDriver driver([&](test::DialogDriver& d) {
      HWND box = d.WaitFor(kAboutCaption, IDC_ABOUT_OK);
      if (!box) return;
      for (int id : {IDC_MAIL_LINK, IDC_WEB_LINK}) {
        HWND link = GetDlgItem(box, id);
        PostMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
      }
      opened = handler.Opened(2);
      stayedOpen = IsWindowVisible(box);
      d.Click(box, IDC_ABOUT_OK);
    });
    about.DoModal();
  }
  EXPECT_NE(opened.find("\"" PK_MAKER_MAILTO "\""), std::string::npos) << opened;
  EXPECT_NE(opened.find("\"" PK_MAKER_WEB_SITE "\""), std::string::npos) << opened;
  EXPECT_TRUE(stayedOpen);
}

TEST(AboutDialog, MainWindowOpensItFromItsButtonAndSystemCommands16To31) {
  PK_REQUIRE_DISPLAY();
  MainDialog dialog;
  ASSERT_TRUE(dialog.Create());
  int opened = 0;
  {
    test::DialogDriver driver([&](test::DialogDriver& d) {
      HWND previous = nullptr;
      for (int i = 0; i < 17; ++i) {
        HWND box = d.WaitFor(kAboutCaption, IDC_ABOUT_OK, previous);
        if (!box) return;
        ++opened;
        d.Click(box, IDC_ABOUT_OK);
        d.WaitGone(box);
        previous = box;
      }
    });
    SendMessageW(dialog.GetDlgItem(3), BM_CLICK, 0, 0);
    for (UINT id = 16; id <= 31; ++id) SendMessageW(dialog, WM_SYSCOMMAND, id, 0);
  }
  EXPECT_EQ(opened, 17);
  EXPECT_TRUE(IsWindow(dialog)) << "the main window stays";
  DestroyWindow(dialog);
}

}  // namespace
}  // namespace pk
