#include "framework/gdi.h"

#include "framework/win_app.h"
#include "framework/wnd.h"

#ifdef PK_COUNT_HANDLES
#include <atomic>

namespace pk::fw {
namespace {
std::atomic<long> liveHandles[size_t(HandleKind::Count)];
}  // namespace

long LiveHandles(HandleKind kind) { return liveHandles[size_t(kind)].load(); }
void CountHandle(HandleKind kind, int delta) { liveHandles[size_t(kind)] += delta; }
}  // namespace pk::fw
#endif

BOOL CBitmap::LoadBitmap(UINT resourceId) {
  return Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(resourceId & 0xFFFF)));
}

CPaintDC::CPaintDC(CWnd* window) : window_(window->m_hWnd) {
  m_hDC = ::BeginPaint(window_, &m_ps);
  if (m_hDC) pk::fw::CountHandle(pk::fw::HandleKind::Dc, +1);
}

CPaintDC::~CPaintDC() {
  if (m_hDC) pk::fw::CountHandle(pk::fw::HandleKind::Dc, -1);
  ::EndPaint(window_, &m_ps);
  m_hDC = nullptr;
}

CClientDC::CClientDC(CWnd* window) : CClientDC(window->m_hWnd) {}

CClientDC::CClientDC(HWND window) : window_(window) {
  m_hDC = ::GetDC(window_);
  if (m_hDC) pk::fw::CountHandle(pk::fw::HandleKind::Dc, +1);
}

CClientDC::~CClientDC() {
  if (m_hDC) {
    pk::fw::CountHandle(pk::fw::HandleKind::Dc, -1);
    ::ReleaseDC(window_, m_hDC);
    m_hDC = nullptr;
  }
}
