// Windows under the framework's names. A CWnd takes over an existing window by
// subclassing it; from then on one window procedure finds the object (through
// a window property, so the user-data slot stays free for the controls' own
// use) and calls its one virtual WindowProc, a switch that unpacks each
// message and calls a small typed On... handler. What a handler does not take
// goes on to the window's previous procedure (Default).
//
// Every window is a wide (UTF-16) one, and texts cross as wide strings: the
// callers convert the program's words and paths through
// platform/win32/wide_text.h, so nothing passes through the ANSI code page.
#pragma once

#include <windows.h>

#include <string>

#include "framework/gdi.h"

// A view of a menu that belongs to a window (the system menu, for one).
class CMenu {
 public:
  CMenu() = default;
  explicit CMenu(HMENU menu) : m_hMenu(menu) {}
  HMENU GetSafeHmenu() const { return m_hMenu; }
  BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const wchar_t* text = nullptr) {
    return ::AppendMenuW(m_hMenu, flags, id, text);
  }
  int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }

  HMENU m_hMenu = nullptr;
};

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The object that has subclassed `window`, if any.
  static CWnd* FromHandlePermanent(HWND window);

  // Takes over `window`: PreSubclassWindow runs first, then the window's
  // procedure is replaced by the framework's.
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();
  // Called before the procedure is replaced; a control can change its styles here.
  virtual void PreSubclassWindow() {}

  LRESULT SendMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
    return ::SendMessageW(m_hWnd, message, w, l);
  }
  BOOL PostMessage(UINT message, WPARAM w = 0, LPARAM l = 0) const {
    return ::PostMessageW(m_hWnd, message, w, l);
  }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
  std::wstring GetWindowText() const;
  void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  HICON SetIcon(HICON icon, BOOL big) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, LPARAM(icon)));
  }
  CMenu GetSystemMenu(BOOL revert) const { return CMenu(::GetSystemMenu(m_hWnd, revert)); }
  void CenterWindow(HWND alternateOwner = nullptr);

 protected:
  // The one message handler of every framework window.
  virtual LRESULT WindowProc(UINT message, WPARAM w, LPARAM l);
  // Hands the message being handled to the window's previous procedure.
  LRESULT Default();
  // Hands a message of one's own making (a changed parameter, say) to it.
  LRESULT CallPrevious(UINT message, WPARAM w, LPARAM l);

  // Typed handlers; each one's default is Default().
  virtual BOOL OnCommand(UINT id, UINT code, HWND control);
  virtual void OnPaint() { Default(); }
  virtual BOOL OnEraseBkgnd(CDC* dc) { return BOOL(Default()); }
  virtual void OnSysCommand(UINT id, LPARAM l) { Default(); }
  virtual HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }
  virtual HBRUSH OnCtlColor(CDC* dc, HWND control, UINT type) {
    return reinterpret_cast<HBRUSH>(Default());
  }
  virtual void OnDestroy() { Default(); }
  // A request that the parent reflects back to the control it concerns (the
  // draw-item request of an owner-drawn button); true when handled.
  virtual bool OnChildNotify(UINT message, WPARAM w, LPARAM l, LRESULT* result) { return false; }
  // After WM_NCDESTROY, when the object no longer has a window.
  virtual void PostNcDestroy() {}

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  void Detach();

  WNDPROC previousProc_ = nullptr;
  struct CurrentMessage {
    UINT message;
    WPARAM w;
    LPARAM l;
  };
  CurrentMessage current_{};
};
