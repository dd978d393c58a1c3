#include "framework/gdi.h"

#include "framework/win_app.h"
#include "framework/wnd.h"

BOOL CBitmap::LoadBitmap(UINT resourceId) {
  return Attach(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(resourceId & 0xFFFF)));
}

CPaintDC::CPaintDC(CWnd* window) : window_(window->m_hWnd) {
  m_hDC = ::BeginPaint(window_, &m_ps);
  if (m_hDC) pk::win32::CountHandle(pk::win32::HandleKind::Dc, +1);
}

CPaintDC::~CPaintDC() {
  if (m_hDC) pk::win32::CountHandle(pk::win32::HandleKind::Dc, -1);
  ::EndPaint(window_, &m_ps);
  m_hDC = nullptr;
}

CClientDC::CClientDC(CWnd* window) : CClientDC(window->m_hWnd) {}

CClientDC::CClientDC(HWND window) : dc_(window) { m_hDC = dc_.Get(); }
