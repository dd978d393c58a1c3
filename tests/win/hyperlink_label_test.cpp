// Links on real static controls under Wine: their colours before and after a
// click, the hand cursor read back from the system, hit tests, repaints on a
// new text, presses and releases across two links, what the shell is asked
// to open, and the record that each link frees when it is destroyed.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/win/gui_test_support.h"
#include "tests/win/link_handler.h"
#include "ui/controls/hyperlink_label.h"

namespace pk {
namespace {

constexpr int kWidth = 160, kHeight = 20;

// Pixels of each colour in a rendering.
std::map<uint32_t, int> Colours(const test::Picture& picture) {
  std::map<uint32_t, int> counts;
  for (uint32_t p : picture.pixels) ++counts[p];
  return counts;
}

// COLORREF (0x00BBGGRR) as a picture's pixel (0x00RRGGBB).
uint32_t Pixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

// The longest run of `colour` along any row: an underline spans the text.
int LongestRun(const test::Picture& picture, uint32_t colour) {
  int longest = 0;
  for (int y = 0; y < picture.height; ++y) {
    int run = 0;
    for (int x = 0; x < picture.width; ++x) {
      run = picture.At(x, y) == colour ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  return longest;
}

// Whether `address` is a block of the process heap that is in use.
bool HeapBlockInUse(void* address) {
  HANDLE heap = GetProcessHeap();
  HeapLock(heap);
  PROCESS_HEAP_ENTRY entry{};
  bool inUse = false;
  while (HeapWalk(heap, &entry)) {
    if (entry.lpData == address) {
      inUse = (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
      break;
    }
  }
  HeapUnlock(heap);
  return inUse;
}

class HyperlinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PK_REQUIRE_DISPLAY();
    dialog = CreateWindowExA(0, "#32770", "links", WS_POPUP | WS_CAPTION, 20, 20, 400, 200, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_TRUE(dialog);
  }
  void TearDown() override {
    if (dialog) DestroyWindow(dialog);
  }
  HWND AddLabel(int id, const char* text, DWORD style = SS_LEFT, int y = -1) {
    return CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 4, y < 0 ? 4 + 24 * (id % 7) : y,
                           kWidth, kHeight, dialog, HMENU(INT_PTR(id)), nullptr, nullptr);
  }
  static test::Picture Render(HWND label) { return test::PrintClient(label, kWidth, kHeight); }
  static HyperlinkLabel* Record(HWND label) {
    return reinterpret_cast<HyperlinkLabel*>(GetWindowLongPtrA(label, GWLP_USERDATA));
  }
  static void Press(HWND label) { SendMessageA(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3)); }
  static void Release(HWND label) { SendMessageA(label, WM_LBUTTONUP, 0, MAKELPARAM(3, 3)); }

  HWND dialog = nullptr;
};

TEST_F(HyperlinkTest, ColourIsTheDefaultBlueTheGivenOneAndPurpleOnceClicked) {
  test::LinkHandler handler({"pktest"});
  struct Case {
    int id;
    COLORREF given;
    COLORREF drawn;
  };
  const Case cases[] = {{11, kLinkColorDefault, RGB(0, 0, 255)}, {12, 0, RGB(0, 0, 0)}, {13, RGB(0, 128, 0), RGB(0, 128, 0)}};
  for (const Case& c : cases) {
    HWND label = AddLabel(c.id, "Linked text");
    ASSERT_EQ(AttachHyperlink(dialog, c.id, "pktest:colour", c.given), 1);
    EXPECT_TRUE(GetWindowLongA(label, GWL_STYLE) & SS_NOTIFY) << c.id;
    test::Picture before = Render(label);
    auto colours = Colours(before);
    EXPECT_GT(colours[Pixel(c.drawn)], 20) << "text in " << std::hex << c.drawn;
    // Text cells on the button face, and an underline as long as the text.
    EXPECT_GT(colours[Pixel(GetSysColor(COLOR_BTNFACE))], 100) << c.id;
    EXPECT_GT(LongestRun(before, Pixel(c.drawn)), 30) << c.id;
    if (c.drawn != RGB(0, 0, 255)) {
      EXPECT_EQ(colours[Pixel(RGB(0, 0, 255))], 0) << c.id;
    }

    Press(label);
    Release(label);
    auto after = Colours(Render(label));
    EXPECT_EQ(after[Pixel(RGB(128, 0, 128))], colours[Pixel(c.drawn)]) << c.id;
    if (c.drawn != RGB(128, 0, 128)) {
      EXPECT_EQ(after[Pixel(c.drawn)], 0) << c.id;
    }
  }
  EXPECT_NE(handler.Opened(3).find("pktest:colour"), std::string::npos);
}

TEST_F(HyperlinkTest, HandCursorHasThePlanesAndHotSpotOfThePointingHand) {
  // Rows 1 to 18 of the hand as AND and XOR words; every other row is transparent.
  const std::pair<uint32_t, uint32_t> rows[32] = {
      {0xFFFFFFFF, 0}, {0xF9FFFFFF, 0}, {0xF0FFFFFF, 0x06000000}, {0xF0FFFFFF, 0x06000000},
      {0xF0FFFFFF, 0x06000000}, {0xF0FFFFFF, 0x06000000}, {0xF024FFFF, 0x06000000}, {0xF0007FFF, 0x06DB0000},
      {0xC0007FFF, 0x06DB0000}, {0x80007FFF, 0x36DB0000}, {0x80007FFF, 0x36DB0000}, {0x80007FFF, 0x37FF0000},
      {0x80007FFF, 0x3FFF0000}, {0x80007FFF, 0x3FFF0000}, {0xC0007FFF, 0x1FFF0000}, {0xE0007FFF, 0x0FFF0000},
      {0xF000FFFF, 0x07FE0000}, {0xF000FFFF, 0}, {0xF000FFFF, 0}, {0xFFFFFFFF, 0},
      {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0},
      {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0},
      {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
  HWND first = AddLabel(21, "one");
  HWND second = AddLabel(22, "two");
  ASSERT_EQ(AttachHyperlink(dialog, 21, "pktest:a", kLinkColorDefault), 1);
  ASSERT_EQ(AttachHyperlink(dialog, 22, "pktest:b", kLinkColorDefault), 1);
  // Whatever the hit-test code and the mouse message, the answer is the hand.
  EXPECT_EQ(SendMessageA(first, WM_SETCURSOR, WPARAM(first), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
  HCURSOR hand = GetCursor();
  EXPECT_EQ(SendMessageA(second, WM_SETCURSOR, WPARAM(second), MAKELPARAM(HTBORDER, WM_LBUTTONDOWN)), TRUE);
  EXPECT_EQ(GetCursor(), hand) << "one cursor for every link";

  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(hand, &info));
  EXPECT_FALSE(info.fIcon);
  EXPECT_EQ(info.xHotspot, 5u);
  EXPECT_EQ(info.yHotspot, 2u);
  EXPECT_EQ(info.hbmColor, nullptr) << "a monochrome cursor";
  BITMAP mask{};
  ASSERT_TRUE(GetObjectA(info.hbmMask, sizeof mask, &mask));
  ASSERT_EQ(mask.bmWidth, 32);
  ASSERT_EQ(mask.bmHeight, 64) << "AND plane above the XOR plane";
  uint8_t bits[64 * 4] = {};
  ASSERT_EQ(GetBitmapBits(info.hbmMask, sizeof bits, bits), LONG(sizeof bits));
  for (int row = 0; row < 32; ++row) {
    uint32_t andRow = (bits[row * 4] << 24) | (bits[row * 4 + 1] << 16) | (bits[row * 4 + 2] << 8) | bits[row * 4 + 3];
    const uint8_t* x = bits + (32 + row) * 4;
    uint32_t xorRow = (x[0] << 24) | (x[1] << 16) | (x[2] << 8) | x[3];
    EXPECT_EQ(andRow, rows[row].first) << "AND row " << row;
    EXPECT_EQ(xorRow, rows[row].second) << "XOR row " << row;
  }
  DeleteObject(info.hbmMask);
}

TEST_F(HyperlinkTest, EveryPointIsTheClientAreaAndANewTextRepaints) {
  ShowWindow(dialog, SW_SHOWNOACTIVATE);
  HWND label = AddLabel(31, "i");
  ASSERT_EQ(AttachHyperlink(dialog, 31, nullptr, kLinkColorDefault), 1);
  RECT r;
  GetWindowRect(label, &r);
  for (POINT p : {POINT{r.left, r.top}, POINT{r.right - 1, r.bottom - 1}, POINT{r.left + 80, r.top + 10},
                  POINT{r.right + 50, r.bottom + 50}}) {
    EXPECT_EQ(SendMessageA(label, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), HTCLIENT) << p.x << "," << p.y;
  }
  UpdateWindow(dialog);
  RECT pending;
  ASSERT_FALSE(GetUpdateRect(label, &pending, FALSE));
  auto onScreen = [&] {
    // What the window's own paint left on its surface.
    HDC window = GetDC(label);
    HDC memory = CreateCompatibleDC(window);
    HBITMAP bitmap = CreateCompatibleBitmap(window, kWidth, kHeight);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kWidth, kHeight, window, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    test::Picture picture = test::ReadBitmap(bitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(label, window);
    return Colours(picture)[Pixel(RGB(0, 0, 255))];
  };
  int narrow = onScreen();
  SetWindowTextA(label, "WWWWWWWWWWWW");
  EXPECT_TRUE(GetUpdateRect(label, &pending, FALSE)) << "the new text is waiting to be painted";
  UpdateWindow(label);
  int wide = onScreen();
  EXPECT_GT(narrow, 0);
  EXPECT_GT(wide, 3 * narrow) << "the new text was painted as a link";
}

TEST_F(HyperlinkTest, PressOnOneLinkAndReleaseOnAnotherOpensTheSecond) {
  test::LinkHandler handler({"pktest"});
  HWND first = AddLabel(41, "first");
  HWND second = AddLabel(42, "second");
  HWND byText = AddLabel(43, "placeholder");
  ASSERT_EQ(AttachHyperlink(dialog, 41, "pktest:first", kLinkColorDefault), 1);
  ASSERT_EQ(AttachHyperlink(dialog, 42, "pktest:second", kLinkColorDefault), 1);
  ASSERT_EQ(AttachHyperlink(dialog, 43, nullptr, kLinkColorDefault), 1);

  Press(first);
  Release(second);
  std::string opened = handler.Opened();
  EXPECT_NE(opened.find("pktest:second"), std::string::npos) << opened;
  EXPECT_EQ(opened.find("pktest:first"), std::string::npos) << opened;
  EXPECT_EQ(Record(second)->textColor, kVisitedLinkColor);
  EXPECT_EQ(Record(first)->textColor, kDefaultLinkColor);

  // A press released elsewhere opens nothing, but the next release over any
  // link opens that link without a press of its own.
  handler.Forget();
  Press(first);
  SendMessageA(dialog, WM_LBUTTONUP, 0, MAKELPARAM(300, 150));
  Sleep(300);
  EXPECT_EQ(handler.Opened(1, 0), "");
  Release(first);
  EXPECT_NE(handler.Opened().find("pktest:first"), std::string::npos);

  // Without a target, a click opens the text shown at that moment.
  handler.Forget();
  SetWindowTextA(byText, "pktest:from-the-text");
  Press(byText);
  Release(byText);
  EXPECT_NE(handler.Opened().find("pktest:from-the-text"), std::string::npos);
}

TEST_F(HyperlinkTest, RefusalsLeaveTheControlAsItWasAndRecordsGoWithTheirWindows) {
  HWND label = AddLabel(51, "text");
  LONG style = GetWindowLongA(label, GWL_STYLE);
  LONG_PTR procedure = GetWindowLongPtrA(label, GWLP_WNDPROC);
  const std::string longest(kMaxLinkTarget, 'x'), tooLong(kMaxLinkTarget + 1, 'x');
  EXPECT_EQ(AttachHyperlink(dialog, 51, tooLong.c_str(), kLinkColorDefault), 0);
  EXPECT_EQ(AttachHyperlink(dialog, 99, "pktest:none", kLinkColorDefault), 0) << "no such control";
  EXPECT_EQ(GetWindowLongA(label, GWL_STYLE), style);
  EXPECT_EQ(GetWindowLongPtrA(label, GWLP_WNDPROC), procedure);
  EXPECT_EQ(GetWindowLongPtrA(label, GWLP_USERDATA), 0);

  ASSERT_EQ(AttachHyperlink(dialog, 51, longest.c_str(), kLinkColorDefault), 1);
  EXPECT_EQ(std::string(Record(label)->target), longest) << "a target of 259 bytes is kept whole";
  HyperlinkLabel* record = Record(label);
  EXPECT_TRUE(HeapBlockInUse(record));
  DestroyWindow(label);
  EXPECT_FALSE(HeapBlockInUse(record)) << "freed at WM_NCDESTROY";

  // Links destroyed with their dialog free theirs too.
  HyperlinkLabel* records[3];
  for (int i = 0; i < 3; ++i) {
    AddLabel(60 + i, "link");
    ASSERT_EQ(AttachHyperlink(dialog, 60 + i, "pktest:x", kLinkColorDefault), 1);
    records[i] = Record(GetDlgItem(dialog, 60 + i));
  }
  DestroyWindow(dialog);
  dialog = nullptr;
  for (HyperlinkLabel* r : records) EXPECT_FALSE(HeapBlockInUse(r));
}

}  // namespace
}  // namespace pk
