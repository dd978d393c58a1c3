#include "framework/file_dialog.h"

#include <cstring>

#include "framework/win_app.h"
#include "framework/wnd.h"

std::string ConvertFilter(const char* filter) {
  std::string converted = filter ? filter : "";
  for (char& c : converted) {
    if (c == '|') c = '\0';
  }
  // Two terminators end the list even when the notation left out its last bar.
  converted.push_back('\0');
  converted.push_back('\0');
  return converted;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExt, const char* fileName, DWORD flags,
                         const char* filter, CWnd* parent)
    : open_(openFileDialog), parent_(parent) {
  if (defaultExt) defaultExt_ = defaultExt;
  if (filter) filter_ = ConvertFilter(filter);
  if (fileName) {
    std::strncpy(file_, fileName, sizeof file_ - 1);
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
  m_ofn.nMaxFile = sizeof file_;
  m_ofn.lpstrDefExt = defaultExt_.empty() ? nullptr : defaultExt_.c_str();
  BOOL chosen = open_ ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
  if (!chosen) return IDCANCEL;
  path_ = file_;
  // The system finds the extension itself, which copes with GBK names whose
  // trail bytes look like path separators.
  ext_.clear();
  if (m_ofn.nFileExtension > 0 && m_ofn.nFileExtension < path_.size()) ext_ = path_.substr(m_ofn.nFileExtension);
  return IDOK;
}

