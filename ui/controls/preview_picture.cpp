#include "ui/controls/preview_picture.h"

#include <algorithm>

namespace {

// An icon's own size, from its colour bitmap (or its mask, which holds the
// AND and XOR halves of a monochrome icon one above the other).
SIZE IconSize(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return {0, 0};
  BITMAP bitmap{};
  SIZE size{0, 0};
  if (info.hbmColor && ::GetObjectW(info.hbmColor, sizeof bitmap, &bitmap)) {
    size = {bitmap.bmWidth, bitmap.bmHeight};
  } else if (info.hbmMask && ::GetObjectW(info.hbmMask, sizeof bitmap, &bitmap)) {
    size = {bitmap.bmWidth, bitmap.bmHeight / 2};
  }
  if (info.hbmColor) ::DeleteObject(info.hbmColor);
  if (info.hbmMask) ::DeleteObject(info.hbmMask);
  return size;
}

}  // namespace

RECT PreviewPicture::PlaceIcon(int width, int height, int boxWidth, int boxHeight) {
  if (width <= 0 || height <= 0 || boxWidth <= 0 || boxHeight <= 0) return {0, 0, 0, 0};
  int drawnWidth = width, drawnHeight = height;
  if (width > boxWidth || height > boxHeight) {
    // The side that overflows more decides the scale; the other follows it.
    if (int64_t(width) * boxHeight >= int64_t(height) * boxWidth) {
      drawnWidth = boxWidth;
      drawnHeight = std::max(1, int(int64_t(height) * boxWidth / width));
    } else {
      drawnHeight = boxHeight;
      drawnWidth = std::max(1, int(int64_t(width) * boxHeight / height));
    }
  }
  const int left = (boxWidth - drawnWidth) / 2, top = (boxHeight - drawnHeight) / 2;
  return {left, top, left + drawnWidth, top + drawnHeight};
}

void PreviewPicture::Paint(HDC dc) {
  RECT box;
  ::GetClientRect(m_hWnd, &box);
  // The background the dialog gives its static controls.
  HWND parent = ::GetParent(m_hWnd);
  auto brush = reinterpret_cast<HBRUSH>(
      parent ? ::SendMessageW(parent, WM_CTLCOLORSTATIC, WPARAM(dc), LPARAM(m_hWnd)) : 0);
  ::FillRect(dc, &box, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
  if (!icon_) return;
  const SIZE size = IconSize(icon_);
  const RECT at = PlaceIcon(size.cx, size.cy, box.right, box.bottom);
  if (at.right > at.left) {
    ::DrawIconEx(dc, at.left, at.top, icon_, at.right - at.left, at.bottom - at.top, 0, nullptr, DI_NORMAL);
  }
}

LRESULT PreviewPicture::WindowProc(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (HDC given = reinterpret_cast<HDC>(w)) {
        Paint(given);
        return 0;
      }
      HDC dc = ::BeginPaint(m_hWnd, &paint);
      Paint(dc);
      ::EndPaint(m_hWnd, &paint);
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(w));
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint fills the whole box
    case STM_SETICON: {
      // Kept here rather than given to the static control, which would take
      // the icon's size and so move the box on every paint of the dialog.
      HICON previous = icon_;
      icon_ = reinterpret_cast<HICON>(w);
      if (icon_ != previous) ::InvalidateRect(m_hWnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(icon_);
    default:
      return CWnd::WindowProc(message, w, l);
  }
}
