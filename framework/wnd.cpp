#include "framework/wnd.h"

#include <vector>

namespace {

// The object of a subclassed window is found through this window property.
constexpr wchar_t kObjectProperty[] = L"PixelkiteWnd";

}  // namespace

CWnd::~CWnd() {
  // A window that outlives its object must not keep calling into it.
  if (m_hWnd) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  return window ? static_cast<CWnd*>(::GetPropW(window, kObjectProperty)) : nullptr;
}

BOOL CWnd::SubclassWindow(HWND window) {
  if (!window || m_hWnd || FromHandlePermanent(window)) return FALSE;
  m_hWnd = window;
  PreSubclassWindow();
  ::SetPropW(window, kObjectProperty, this);
  previousProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
  if (!previousProc_) {
    ::RemovePropW(window, kObjectProperty);
    m_hWnd = nullptr;
    return FALSE;
  }
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return SubclassWindow(::GetDlgItem(parent->m_hWnd, int(id)));
}

HWND CWnd::UnsubclassWindow() {
  HWND window = m_hWnd;
  if (!window) return nullptr;
  if (previousProc_) ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  Detach();
  return window;
}

void CWnd::Detach() {
  ::RemovePropW(m_hWnd, kObjectProperty);
  previousProc_ = nullptr;
  m_hWnd = nullptr;
}

std::wstring CWnd::GetWindowText() const {
  int length = ::GetWindowTextLengthW(m_hWnd);
  if (length <= 0) return {};
  std::vector<wchar_t> text(size_t(length) + 1);
  int got = ::GetWindowTextW(m_hWnd, text.data(), int(text.size()));
  return std::wstring(text.data(), size_t(got > 0 ? got : 0));
}

void CWnd::CenterWindow(HWND alternateOwner) {
  HWND owner = alternateOwner ? alternateOwner : ::GetWindow(m_hWnd, GW_OWNER);
  RECT area;
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &area);
  } else {
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT self;
  ::GetWindowRect(m_hWnd, &self);
  int w = self.right - self.left;
  int h = self.bottom - self.top;
  int x = area.left + ((area.right - area.left) - w) / 2;
  int y = area.top + ((area.bottom - area.top) - h) / 2;
  // Keep the caption reachable when the owner sits near the screen's edge.
  RECT work;
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  if (x + w > work.right) x = work.right - w;
  if (y + h > work.bottom) y = work.bottom - h;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWnd::Default() { return CallPrevious(current_.message, current_.w, current_.l); }

LRESULT CWnd::CallPrevious(UINT message, WPARAM w, LPARAM l) {
  return ::CallWindowProcW(previousProc_, m_hWnd, message, w, l);
}

BOOL CWnd::OnCommand(UINT id, UINT code, HWND control) {
  return FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (OnCommand(LOWORD(w), HIWORD(w), reinterpret_cast<HWND>(l))) return 0;
      return Default();
    case WM_DRAWITEM: {
      // Owner-drawn controls paint themselves: the request goes back to the
      // control's object when it has one.
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(l);
      if (w != 0 && item && item->CtlType != ODT_MENU) {
        if (CWnd* child = FromHandlePermanent(item->hwndItem)) {
          LRESULT result = TRUE;
          if (child->OnChildNotify(message, w, l, &result)) return result;
        }
      }
      return Default();
    }
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND: {
      CDC dc = CDC::Borrow(reinterpret_cast<HDC>(w));
      return OnEraseBkgnd(&dc);
    }
    case WM_SYSCOMMAND:
      OnSysCommand(UINT(w), l);
      return 0;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: {
      CDC dc = CDC::Borrow(reinterpret_cast<HDC>(w));
      return reinterpret_cast<LRESULT>(
          OnCtlColor(&dc, reinterpret_cast<HWND>(l), message - WM_CTLCOLORMSGBOX));
    }
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return Default();
  }
}

LRESULT CALLBACK CWnd::StaticWindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  CWnd* self = FromHandlePermanent(window);
  if (!self) return ::DefWindowProcW(window, message, w, l);

  if (message == WM_NCDESTROY) {
    // The last message: let the previous procedure see it, then let go.
    WNDPROC previous = self->previousProc_;
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    self->Detach();
    LRESULT result = ::CallWindowProcW(previous, window, message, w, l);
    self->PostNcDestroy();
    return result;
  }

  // Nested messages (sent while a handler runs) keep their own Default().
  CurrentMessage saved = self->current_;
  self->current_ = {message, w, l};
  LRESULT result = self->WindowProc(message, w, l);
  self->current_ = saved;
  return result;
}
