// Helpers of the GUI tests: pixels of a rendering, and a display check.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace pk::test {

// A 32-bit top-down picture, pixels as 0x00RRGGBB.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * width + x]; }
  bool operator==(const Picture&) const = default;
};

// Reads a bitmap (not selected into any DC) as a 32-bit picture.
inline Picture ReadBitmap(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  Picture picture{info.bmWidth, info.bmHeight, std::vector<uint32_t>(size_t(info.bmWidth) * info.bmHeight)};
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -info.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, UINT(info.bmHeight), picture.pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  for (uint32_t& p : picture.pixels) p &= 0xFFFFFF;
  return picture;
}

// Renders a window's client area into a bitmap through WM_PRINTCLIENT.
inline Picture PrintClient(HWND window, int width, int height, int originX = 0, int originY = 0) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all{0, 0, width, height};
  HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
  FillRect(memory, &all, magenta);
  DeleteObject(magenta);
  SetViewportOrgEx(memory, originX, originY, nullptr);
  SendMessageA(window, WM_PRINTCLIENT, WPARAM(memory), PRF_CLIENT);
  SetViewportOrgEx(memory, 0, 0, nullptr);
  SelectObject(memory, old);
  Picture picture = ReadBitmap(bitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

// Lets queued and posted messages of this thread run.
inline void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// The icons the preview showed and replaced must all be gone; only the one
// it shows now may live. Works on handle values, so it needs no counters.
inline int LiveReplacedIcons(const std::set<HICON>& seen, HICON current) {
  int live = 0;
  for (HICON icon : seen) {
    ICONINFO info{};
    if (icon && icon != current && GetIconInfo(icon, &info)) {
      ++live;
      DeleteObject(info.hbmColor);
      DeleteObject(info.hbmMask);
    }
  }
  return live;
}

// Windows need a display; without one (no X server for Wine) the GUI tests skip.
#define PK_REQUIRE_DISPLAY()                                                                  \
  do {                                                                                        \
    HWND probe_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,   \
                                  nullptr, nullptr);                                          \
    if (!probe_) GTEST_SKIP() << "no display: run under Xvfb (tests/e2e/run.sh does)";        \
    DestroyWindow(probe_);                                                                    \
  } while (0)

}  // namespace pk::test
