#include "framework/file_dialog.h"

#include "framework/win_app.h"
#include "framework/wnd.h"
#include "platform/win32/wide_text.h"

using pk::win32::Utf8FromWide;
using pk::win32::WideFromGbk;
using pk::win32::WideFromUtf8;

std::wstring ConvertFilter(const char* filter) {
  // Converted first: a GBK character's trail byte may be the bar's code.
  std::wstring converted = WideFromGbk(filter ? filter : "");
  for (wchar_t& c : converted) {
    if (c == L'|') c = L'\0';
  }
  // Two terminators end the list even when the notation left out its last bar.
  converted.push_back(L'\0');
  converted.push_back(L'\0');
  return converted;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : open_(openFileDialog), parent_(parent) {
  if (defaultExt) defaultExt_ = WideFromGbk(defaultExt);
  if (filter) filter_ = ConvertFilter(filter);
  if (fileName) {
    const std::wstring name = WideFromUtf8(fileName);
    name.copy(file_, MAX_PATH - 1);
  }
  m_ofn.lStructSize = sizeof m_ofn;
  // The framework always asks for the resizable explorer-style dialog.
  m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal() {
  HWND owner = parent_ ? parent_->m_hWnd : nullptr;
  if (!owner) {
    CWinApp* app = AfxGetApp();
    if (app && app->m_pMainWnd) owner = app->m_pMainWnd->m_hWnd;
  }
  m_ofn.hwndOwner = owner;
  m_ofn.hInstance = AfxGetInstanceHandle();
  m_ofn.lpstrFilter = filter_.empty() ? nullptr : filter_.c_str();
  m_ofn.lpstrFile = file_;
  m_ofn.nMaxFile = MAX_PATH;
  m_ofn.lpstrDefExt = defaultExt_.empty() ? nullptr : defaultExt_.c_str();
  BOOL chosen = open_ ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
  if (!chosen) return IDCANCEL;
  const std::wstring path = file_;
  path_ = Utf8FromWide(path);
  ext_.clear();
  if (m_ofn.nFileExtension > 0 && m_ofn.nFileExtension < path.size())
    ext_ = Utf8FromWide(path.substr(m_ofn.nFileExtension));
  return IDOK;
}
