// A push button painted from a skin bitmap: frames of equal width side by
// side (0 normal, 1 pressed, 2 disabled, 3 focused), each cut into nine pieces
// and stretched to the button's size once, when the skin is given.
#pragma once

#include <memory>

#include "framework/controls.h"
#include "framework/dpi.h"
#include "res/resource.h"
#include "ui/controls/button_font.h"

// How a skin bitmap is cut: how many frames, and the margins (in pixels of a
// frame) that keep their size when a face is stretched.
struct SkinLayout {
  UINT bitmapId;
  int frameCount;
  int marginTop;
  int marginBottom;
  int marginLeft;
  int marginRight;
};

// The skin every dialog of the program gives its push buttons: the five grey
// frames of the skin bitmap, with thin margins.
inline constexpr SkinLayout kDialogSkin{IDB_SKIN, 5, 5, 5, 5, 4};

class SkinButton : public CButton {
 public:
  SkinButton();
  ~SkinButton() override;

  // Cuts the four faces out of bitmap resource `bitmapId` (frames of width
  // bitmap width / frameCount) and stretches them to the button's current
  // size, keeping the margin bands unstretched. True when all four were made.
  bool SetSkin(UINT bitmapId, int frameCount, int marginTop, int marginBottom, int marginLeft,
               int marginRight);
  bool SetSkin(const SkinLayout& layout) {
    return SetSkin(layout.bitmapId, layout.frameCount, layout.marginTop, layout.marginBottom, layout.marginLeft,
                   layout.marginRight);
  }

  void PreSubclassWindow() override;
  void DrawItem(DRAWITEMSTRUCT* item) override;

 protected:
  BOOL OnEraseBkgnd(CDC* dc) override;
  // Enter on the focused button runs its own command, as on a push button.
  LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;

 private:
  bool ComposeFace(CBitmap* skin, CBitmap* face, int frameIndex, int frames);
  void DrawFace(CDC* dc, CBitmap* face);

  int skinReady = 0;
  UINT bitmapId = 0;
  int frameCount = 0;
  CBitmap normalFace;
  CBitmap pressedFace;
  CBitmap focusedFace;
  CBitmap disabledFace;
  int marginTop = 8;
  int marginBottom = 8;
  int marginLeft = 8;
  int marginRight = 17;
  COLORREF transparentColor = RGB(255, 0, 255);
  std::unique_ptr<ButtonFont> font;
  UINT fontDpi = kBaseDpi;
};
