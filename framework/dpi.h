// How large the program draws. Sizes in its code are pixels at 96 DPI
// (100 %); they are scaled to the DPI the window is shown at, so that fonts,
// skins and pictures keep their proportions at 125, 150 and 200 %.
#pragma once

#include <windows.h>

inline constexpr UINT kBaseDpi = 96;

// The DPI `window` is drawn at: its monitor's for a per-monitor aware
// program on Windows 10 (1607) and later, the system's otherwise.
UINT WindowDpi(HWND window);

inline int ScaleToDpi(int pixels, UINT dpi) { return MulDiv(pixels, int(dpi), int(kBaseDpi)); }
