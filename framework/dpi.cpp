#include "framework/dpi.h"

#include "platform/win32/unique_handle.h"

namespace {

using GetDpiForWindowCall = UINT(WINAPI*)(HWND);

// Looked up rather than imported: Windows 7 and 8 do not have it.
GetDpiForWindowCall DpiForWindowCall() {
  static const auto call = reinterpret_cast<GetDpiForWindowCall>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  return call;
}

}  // namespace

UINT WindowDpi(HWND window) {
  if (GetDpiForWindowCall call = DpiForWindowCall(); call && window) {
    if (UINT dpi = call(window)) return dpi;
  }
  pk::win32::WindowDc screen(nullptr);
  const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? UINT(dpi) : kBaseDpi;
}
