// The font of a skinned button's caption, and the caption's colour.
#pragma once

#include "framework/dpi.h"

#include "framework/gdi.h"

class ButtonFont : public CFont {
 public:
  // `faceName`: the program's words (GBK); a name longer than LOGFONT's
  // 31 characters is cut to fit.
  // `dpi`: the DPI of the window it is drawn in; the height is 12 pixels at 96.
  explicit ButtonFont(const char* faceName, UINT dpi = kBaseDpi);
  ~ButtonFont() override = default;

  COLORREF GetTextColor() const { return textColor; }

  LOGFONTW logFont{};
  COLORREF textColor = 0;
};
