#include "ui/controls/hyperlink_label.h"

#include <shellapi.h>

#include <cstdint>
#include <cstring>

#include "framework/dpi.h"
#include "platform/win32/wide_text.h"

namespace {

// Shared by every link of the process and touched only from the window
// thread. The font and the cursor are made on first use and kept until the
// process ends; the font is made anew when a link is drawn at another DPI.
int linkPressed = 0;  // set by a press on any link, consumed by the next release on any link
HFONT linkFont = nullptr;
UINT linkFontDpi = 0;
HCURSOR linkCursor = nullptr;
wchar_t linkTextBuffer[260];

// The hand cursor: 32 x 32, hot spot at the fingertip (5, 2). Each row is a
// 32-bit word, leftmost pixel in the top bit; AND 1 / XOR 0 shows the screen,
// AND 0 / XOR 0 is black, AND 0 / XOR 1 is white.
struct CursorRows {
  int first;
  int last;
  uint32_t andBits;
  uint32_t xorBits;
};
constexpr CursorRows kHandCursorRows[] = {
    {0, 0, 0xFFFFFFFF, 0x00000000},    // transparent
    {1, 1, 0xF9FFFFFF, 0x00000000},    // fingertip outline
    {2, 5, 0xF0FFFFFF, 0x06000000},    // index finger
    {6, 6, 0xF024FFFF, 0x06000000},    // tops of the other fingers
    {7, 7, 0xF0007FFF, 0x06DB0000},
    {8, 8, 0xC0007FFF, 0x06DB0000},    // thumb begins
    {9, 10, 0x80007FFF, 0x36DB0000},
    {11, 11, 0x80007FFF, 0x37FF0000},
    {12, 13, 0x80007FFF, 0x3FFF0000},
    {14, 14, 0xC0007FFF, 0x1FFF0000},
    {15, 15, 0xE0007FFF, 0x0FFF0000},
    {16, 16, 0xF000FFFF, 0x07FE0000},
    {17, 18, 0xF000FFFF, 0x00000000},  // cuff, solid black
    {19, 31, 0xFFFFFFFF, 0x00000000},  // transparent
};
constexpr int kHandHotSpotX = 5;
constexpr int kHandHotSpotY = 2;

HCURSOR MakeHandCursor() {
  uint8_t andPlane[32 * 4], xorPlane[32 * 4];
  for (const CursorRows& rows : kHandCursorRows) {
    for (int row = rows.first; row <= rows.last; ++row) {
      for (int byte = 0; byte < 4; ++byte) {
        andPlane[row * 4 + byte] = uint8_t(rows.andBits >> (24 - 8 * byte));
        xorPlane[row * 4 + byte] = uint8_t(rows.xorBits >> (24 - 8 * byte));
      }
    }
  }
  return ::CreateCursor(::GetModuleHandleA(nullptr), kHandHotSpotX, kHandHotSpotY, 32, 32, andPlane, xorPlane);
}

HyperlinkLabel* RecordOf(HWND window) {
  return reinterpret_cast<HyperlinkLabel*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The stock GUI font, underlined, at the DPI `window` is drawn at (the stock
// font is made for the system's).
HFONT LinkFont(HWND window) {
  const UINT dpi = WindowDpi(window);
  if (!linkFont || dpi != linkFontDpi) {
    LOGFONTW description{};
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    description.lfUnderline = TRUE;
    description.lfHeight = ::MulDiv(description.lfHeight, int(dpi), int(WindowDpi(nullptr)));
    if (HFONT made = ::CreateFontIndirectW(&description)) {
      if (linkFont) ::DeleteObject(linkFont);
      linkFont = made;
      linkFontDpi = dpi;
    }
  }
  return linkFont;
}

// One line of text in the control's alignment, underlined, in the label's
// colour on the background the dialog gives its static controls (no band of
// another colour behind the text). Serves WM_PAINT and WM_PRINTCLIENT.
void PaintLink(HWND window, HDC dc, const HyperlinkLabel& label) {
  LONG style = ::GetWindowLongA(window, GWL_STYLE);
  UINT format = DT_SINGLELINE;
  if (style & SS_CENTER) format |= DT_CENTER;
  if (style & SS_RIGHT) format |= DT_RIGHT;
  if (style & SS_CENTERIMAGE) format |= DT_VCENTER;
  RECT client;
  ::GetClientRect(window, &client);
  HWND parent = ::GetParent(window);
  auto background =
      reinterpret_cast<HBRUSH>(parent ? ::SendMessageW(parent, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(window)) : 0);
  ::FillRect(dc, &client, background ? background : ::GetSysColorBrush(COLOR_BTNFACE));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, label.textColor);
  HGDIOBJ previousFont = ::SelectObject(dc, LinkFont(window));
  ::GetWindowTextW(window, linkTextBuffer, 260);
  ::DrawTextW(dc, linkTextBuffer, -1, &client, format);
  ::SelectObject(dc, previousFont);
}

void OpenLink(HWND window, HyperlinkLabel& label) {
  linkPressed = 0;
  label.textColor = label.visitedColor;
  // The visited colour shows before the shell takes its time.
  ::InvalidateRect(window, nullptr, FALSE);
  ::UpdateWindow(window);
  // The target is UTF-8; without one, the label's own text.
  std::wstring target = pk::win32::WideFromUtf8(label.target);
  if (target.empty()) {
    ::GetWindowTextW(window, linkTextBuffer, 260);
    target = linkTextBuffer;
  }
  // A target the shell cannot open changes nothing but the colour.
  ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

int AttachHyperlink(HWND dialog, int controlId, const char* target, COLORREF color) {
  HWND control = ::GetDlgItem(dialog, controlId);
  if (!control) return 0;
  size_t length = target ? strnlen(target, kMaxLinkTarget + 1) : 0;
  if (length > kMaxLinkTarget) return 0;
  auto* label = static_cast<HyperlinkLabel*>(::HeapAlloc(::GetProcessHeap(), 0, sizeof(HyperlinkLabel)));
  if (!label) return 0;

  // A static control reports mouse input only with SS_NOTIFY.
  LONG style = ::GetWindowLongA(control, GWL_STYLE);
  ::SetWindowLongA(control, GWL_STYLE, style | SS_NOTIFY);
  std::memcpy(label->target, target ? target : "", length);
  label->target[length] = '\0';
  label->textColor = color == kLinkColorDefault ? kDefaultLinkColor : color;
  label->visitedColor = kVisitedLinkColor;
  // A wide procedure: the control's texts never pass through the ANSI code page.
  label->previousWindowProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HyperlinkWindowProc)));
  if (!label->previousWindowProc) {
    ::SetWindowLongA(control, GWL_STYLE, style);
    ::HeapFree(::GetProcessHeap(), 0, label);
    return 0;
  }
  ::SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(label));
  return 1;
}

LRESULT CALLBACK HyperlinkWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  HyperlinkLabel* label = RecordOf(window);
  if (!label) return ::DefWindowProcW(window, message, w, l);
  WNDPROC previous = label->previousWindowProc;
  switch (message) {
    case WM_SETTEXT: {
      LRESULT result = ::CallWindowProcW(previous, window, message, w, l);
      ::InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      PaintLink(window, dc, *label);
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintLink(window, reinterpret_cast<HDC>(w), *label);
      return 0;
    case WM_SETCURSOR:
      if (!linkCursor) linkCursor = MakeHandCursor();
      ::SetCursor(linkCursor);
      return TRUE;
    case WM_NCDESTROY:
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      ::HeapFree(::GetProcessHeap(), 0, label);
      return ::CallWindowProcW(previous, window, message, w, l);
    case WM_NCHITTEST:
      // The whole rectangle is the link, whatever the text covers.
      return HTCLIENT;
    case WM_LBUTTONDOWN:
      linkPressed = 1;
      break;
    case WM_LBUTTONUP:
      if (linkPressed) OpenLink(window, *label);
      break;
  }
  return ::CallWindowProcW(previous, window, message, w, l);
}

SIZE LinkTextExtent(HWND control) {
  SIZE extent{0, 0};
  HDC dc = ::GetDC(control);
  if (!dc) return extent;
  HGDIOBJ previousFont = ::SelectObject(dc, LinkFont(control));
  const int length = ::GetWindowTextW(control, linkTextBuffer, 260);
  RECT measured{0, 0, 0, 0};
  ::DrawTextW(dc, linkTextBuffer, length, &measured, DT_SINGLELINE | DT_CALCRECT);
  extent = {measured.right, measured.bottom};
  ::SelectObject(dc, previousFont);
  ::ReleaseDC(control, dc);
  return extent;
}
