#include "framework/controls.h"

#include <vector>

bool CButton::OnChildNotify(UINT message, WPARAM w, LPARAM l, LRESULT* result) {
  if (message != WM_DRAWITEM) return false;
  DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(l));
  *result = TRUE;
  return true;
}

LRESULT CButton::WindowProc(UINT message, WPARAM w, LPARAM l) {
  if (message == WM_PRINTCLIENT && (::GetWindowLongA(m_hWnd, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
    UINT buttonState = GetState();
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = UINT(::GetDlgCtrlID(m_hWnd));
    item.itemAction = ODA_DRAWENTIRE;
    if (buttonState & BST_PUSHED) item.itemState |= ODS_SELECTED;
    if (buttonState & BST_FOCUS) item.itemState |= ODS_FOCUS;
    if (!IsWindowEnabled()) item.itemState |= ODS_DISABLED;
    item.hwndItem = m_hWnd;
    item.hDC = reinterpret_cast<HDC>(w);
    GetClientRect(&item.rcItem);
    DrawItem(&item);
    return 0;
  }
  return CWnd::WindowProc(message, w, l);
}

std::wstring CListBox::GetText(int index) const {
  LRESULT length = SendMessage(LB_GETTEXTLEN, WPARAM(index));
  if (length == LB_ERR) return {};
  std::vector<wchar_t> text(size_t(length) + 1);
  LRESULT got = SendMessage(LB_GETTEXT, WPARAM(index), LPARAM(text.data()));
  return got == LB_ERR ? std::wstring() : std::wstring(text.data(), size_t(got));
}
