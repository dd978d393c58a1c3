// The font of a skinned button's caption, and the caption's colour.
#pragma once

#include "framework/gdi.h"

class ButtonFont : public CFont {
 public:
  // `faceName`: at most 31 bytes; a longer name is cut to fit LOGFONT.
  explicit ButtonFont(const char* faceName);
  ~ButtonFont() override = default;

  COLORREF GetTextColor() const { return textColor; }

  LOGFONTA logFont{};
  COLORREF textColor = 0;
};
