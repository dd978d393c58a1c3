#include "ui/controls/button_font.h"

#include <string>

#include "platform/win32/wide_text.h"

ButtonFont::ButtonFont(const char* faceName, UINT dpi) {
  logFont.lfHeight = -ScaleToDpi(12, dpi);  // a character height of 12 pixels at 100 %
  logFont.lfWidth = 0;
  logFont.lfEscapement = 0;
  logFont.lfOrientation = 0;
  logFont.lfWeight = FW_NORMAL;
  logFont.lfItalic = 0;
  logFont.lfUnderline = 0;
  logFont.lfStrikeOut = 0;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfOutPrecision = 0;
  logFont.lfClipPrecision = 0;
  logFont.lfQuality = PROOF_QUALITY;
  logFont.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  // The face is named in the program's words, the same on every system.
  const std::wstring face = pk::win32::WideFromGbk(faceName);
  face.copy(logFont.lfFaceName, LF_FACESIZE - 1);
  logFont.lfFaceName[LF_FACESIZE - 1] = L'\0';
  CreateFontIndirect(&logFont);
  textColor = 0;
}
