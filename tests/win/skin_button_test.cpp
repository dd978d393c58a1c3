// The skinned button rendered into a bitmap, against the nine-slice
// composition of the skin frame worked out here from the skin's own pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "res/resource.h"
#include "tests/win/gui_test_support.h"
#include "ui/controls/skin_button.h"

namespace pk {
namespace {

using test::Picture;

constexpr int kWidth = 70, kHeight = 24;  // frame 55 x 22: the middle is enlarged both ways
constexpr int kTop = 5, kBottom = 5, kLeft = 5, kRight = 4;

// Source coordinate of destination pixel d along one axis: margins copied,
// the middle enlarged by taking the source pixel under each pixel's centre.
int MapAxis(int d, int destination, int low, int high, int source) {
  if (d < low) return d;
  if (d >= destination - high) return source - (destination - d);
  int dm = d - low, dsize = destination - low - high, ssize = source - low - high;
  return low + ((2 * dm + 1) * ssize - 1) / (2 * dsize);
}

Picture ExpectedFace(const Picture& skin, int frame) {
  const int frameWidth = skin.width / 5;
  Picture face{kWidth, kHeight, std::vector<uint32_t>(size_t(kWidth) * kHeight)};
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      int sx = MapAxis(x, kWidth, kLeft, kRight, frameWidth);
      int sy = MapAxis(y, kHeight, kTop, kBottom, skin.height);
      face.pixels[size_t(y) * kWidth + x] = skin.At(frame * frameWidth + sx, sy);
    }
  }
  return face;
}

// Pixels where a rendering differs from the bare face: the caption.
struct Caption {
  int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
  int darkest = 255;  // lowest channel value among caption pixels
  int count = 0;
};

Caption FindCaption(const Picture& rendered, const Picture& face) {
  Caption c;
  for (int y = 0; y < rendered.height; ++y) {
    for (int x = 0; x < rendered.width; ++x) {
      uint32_t p = rendered.At(x, y);
      if (p == face.At(x, y)) continue;
      ++c.count;
      c.left = std::min(c.left, x);
      c.right = std::max(c.right, x);
      c.top = std::min(c.top, y);
      c.bottom = std::max(c.bottom, y);
      c.darkest = std::min({c.darkest, int(p & 0xFF), int((p >> 8) & 0xFF), int(p >> 16)});
    }
  }
  return c;
}

class SkinButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PK_REQUIRE_DISPLAY();
    // Hidden: WM_PRINTCLIENT needs no screen, and a shown window waits on the X server.
    parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 10, 10, 200, 100, nullptr, nullptr,
                             nullptr, nullptr);
    HWND control = CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0,
                                   kWidth, kHeight, parent, HMENU(1), nullptr, nullptr);
    ASSERT_TRUE(button.SubclassWindow(control));
    ASSERT_TRUE(button.SetSkin(IDB_SKIN, 5, kTop, kBottom, kLeft, kRight));
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_SKIN));
    skin = test::ReadBitmap(bitmap);
    DeleteObject(bitmap);
  }
  void TearDown() override {
    if (parent) DestroyWindow(parent);
  }

  // Puts the button in a state: focus and pushed-in through the control
  // itself, so the state comes from where a real paint takes it.
  void SetState(bool focused, bool pushed, bool disabled) {
    EnableWindow(button, TRUE);
    SendMessageA(button, focused ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0);
    button.SetState(pushed);
    EnableWindow(button, !disabled);
  }
  Picture Render() { return test::PrintClient(button, kWidth, kHeight); }

  HWND parent = nullptr;
  SkinButton button;
  Picture skin;
};

TEST_F(SkinButtonTest, BecomesOwnerDrawnAndKeepsItsOtherStyles) {
  LONG style = GetWindowLongA(button, GWL_STYLE);
  EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(style & WS_TABSTOP);
}

TEST_F(SkinButtonTest, EachStateShowsItsFrameStretchedByNineSlices) {
  ASSERT_EQ(skin.width, 275);
  ASSERT_EQ(skin.height, 22);
  struct Case {
    const char* state;
    bool focused, pushed, disabled;
    int frame;
  };
  const Case cases[] = {
      {"normal", false, false, false, 0},
      {"focused", true, false, false, 3},
      {"pressed over focused", true, true, false, 1},
      {"disabled", false, false, true, 2},
      {"pushed without focus", false, true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    SetState(c.focused, c.pushed, c.disabled);
    Picture rendered = Render();
    Picture expected = ExpectedFace(skin, c.frame);
    int differing = 0;
    for (size_t i = 0; i < rendered.pixels.size(); ++i) differing += rendered.pixels[i] != expected.pixels[i];
    EXPECT_EQ(differing, 0) << "first pixels " << std::hex << rendered.pixels[0] << " vs " << expected.pixels[0];
  }
}

TEST_F(SkinButtonTest, FramesDifferSoAStateMixUpWouldShow) {
  for (int a = 0; a < 4; ++a)
    for (int b = a + 1; b < 4; ++b) EXPECT_FALSE(ExpectedFace(skin, a) == ExpectedFace(skin, b)) << a << " " << b;
}

TEST_F(SkinButtonTest, CaptionIsBlackCentredMovesWhenPressedAndGreysWhenDisabled) {
  SetWindowTextA(button, "Browse");

  SetState(false, false, false);
  Caption normal = FindCaption(Render(), ExpectedFace(skin, 0));
  ASSERT_GT(normal.count, 20);
  EXPECT_LT(normal.darkest, 0x30) << "black caption";
  EXPECT_LE(std::abs((normal.left + normal.right) - (kWidth - 1)), 2) << "centred across";
  EXPECT_LE(std::abs((normal.top + normal.bottom) - (kHeight - 1)), 3) << "centred down";

  SetState(true, false, false);
  Caption focused = FindCaption(Render(), ExpectedFace(skin, 3));
  SetState(true, true, false);
  Caption pressed = FindCaption(Render(), ExpectedFace(skin, 1));
  ASSERT_GT(pressed.count, 20);
  // Centred in a rectangle 5 pixels narrower on the left: 2 or 3 pixels right.
  int shift = pressed.left - focused.left;
  EXPECT_TRUE(shift == 2 || shift == 3) << shift;
  EXPECT_EQ(pressed.right - focused.right, shift);
  EXPECT_EQ(pressed.top, focused.top);

  SetState(false, false, true);
  Caption disabled = FindCaption(Render(), ExpectedFace(skin, 2));
  ASSERT_GT(disabled.count, 20);
  COLORREF grey = GetSysColor(COLOR_GRAYTEXT);
  int greyLevel = std::min({int(GetRValue(grey)), int(GetGValue(grey)), int(GetBValue(grey))});
  EXPECT_GE(disabled.darkest, greyLevel - 2) << "nothing darker than the grey text colour";
  EXPECT_LE(disabled.darkest, greyLevel + 8) << "the caption is drawn in the grey text colour";
}

TEST_F(SkinButtonTest, SkinThatDoesNotLoadLeavesAPlainButtonWithItsCaption) {
  SkinButton plain;
  HWND control = CreateWindowExA(0, "BUTTON", "OK", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 30, kWidth, kHeight,
                                 parent, HMENU(2), nullptr, nullptr);
  ASSERT_TRUE(plain.SubclassWindow(control));
  EXPECT_FALSE(plain.SetSkin(4242, 5, kTop, kBottom, kLeft, kRight));
  Picture rendered = test::PrintClient(control, kWidth, kHeight);
  uint32_t face = GetSysColor(COLOR_BTNFACE);
  uint32_t faceRgb = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
  EXPECT_EQ(rendered.At(0, 0), faceRgb);
  EXPECT_GT(std::count_if(rendered.pixels.begin(), rendered.pixels.end(), [&](uint32_t p) { return p != faceRgb; }),
            10);
}

}  // namespace
}  // namespace pk
