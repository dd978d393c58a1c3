// The picture of the selected icon: a static icon control that draws its
// icon itself, so that no icon is ever cut. One larger than the box is
// scaled down to fit, its proportions kept; a smaller one is shown at its
// own size. Either is centred. STM_SETICON and STM_GETICON work as before,
// but the box keeps its size.
#pragma once

#include <windows.h>

#include "framework/wnd.h"

class PreviewPicture : public CWnd {
 public:
  // Where an icon of `width` x `height` is drawn in a box of `boxWidth` x `boxHeight`.
  static RECT PlaceIcon(int width, int height, int boxWidth, int boxHeight);

 protected:
  LRESULT WindowProc(UINT message, WPARAM w, LPARAM l) override;

 private:
  void Paint(HDC dc);

  HICON icon_ = nullptr;  // not owned: the dialog keeps it alive while it is shown
};
