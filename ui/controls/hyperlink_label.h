// A static text control of a dialog turned into a link: its text drawn
// underlined in a link colour, a pointing hand over it, and a click that
// hands its target to the shell's "open" verb (a web address opens the
// browser, a mailto: address the mail program). It turns purple once clicked.
//
// It works by subclassing the existing control with plain Win32 calls (no
// framework object): the control's record lives on the process heap, found
// through its user-data slot, and is freed when the control is destroyed.
#pragma once

#include <windows.h>

#include <cstddef>

// The record of one linked control.
struct HyperlinkLabel {
  char target[260];  // what a click opens (UTF-8); empty: the label's own text
  WNDPROC previousWindowProc;
  COLORREF textColor;
  COLORREF visitedColor;
};

inline constexpr COLORREF kDefaultLinkColor = RGB(0, 0, 255);
inline constexpr COLORREF kVisitedLinkColor = RGB(128, 0, 128);
// Passed as `color`: the default link colour.
inline constexpr COLORREF kLinkColorDefault = 0xFFFFFFFF;
inline constexpr size_t kMaxLinkTarget = 259;

// Makes control `controlId` of `dialog` a link to `target` (null: whatever
// text the label shows when clicked) drawn in `color`. Returns 1 when it is
// a link; 0, leaving the control as it was, when there is no such control,
// no memory for the record, or a target longer than 259 bytes (a link is
// never cut short).
int AttachHyperlink(HWND dialog, int controlId, const char* target, COLORREF color);

// The size of a link's text as it is drawn, in pixels.
SIZE LinkTextExtent(HWND control);

// The window procedure of every linked control.
LRESULT CALLBACK HyperlinkWindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
