#include "app/pixelkite_app.h"

#include "platform/win32/wide_text.h"
#include "ui/main/main_dialog.h"

BOOL PixelkiteApp::InitInstance() {
  Enable3dControlsStatic();

  // The mutex only marks that a copy runs under this executable name. Its
  // handle is never closed: the system releases it when the process ends.
  ::CreateMutexW(nullptr, TRUE, pk::win32::WideFromUtf8(m_pszAppName).c_str());
  if (::GetLastError() == ERROR_ALREADY_EXISTS) return FALSE;

  SetDialogBkColor(RGB(219, 219, 219), RGB(0, 0, 0));

  MainDialog dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  // Nothing may reach the dialog object once it is gone.
  m_pMainWnd = nullptr;
  return FALSE;
}
