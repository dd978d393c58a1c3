// The open-file and save-file dialogs, with filters in the framework's
// notation: "description|patterns|description|patterns||".
#pragma once

#include <windows.h>
// WIN32_LEAN_AND_MEAN leaves the common dialogs out of <windows.h>.
#include <commdlg.h>

#include <string>

class CWnd;

class CFileDialog {
 public:
  // `defaultExt` and `filter` are the program's words (GBK); `fileName` is a path (UTF-8).
  CFileDialog(BOOL openFileDialog, const char* defaultExt = nullptr, const char* fileName = nullptr,
              DWORD flags = 0, const char* filter = nullptr, CWnd* parent = nullptr);

  // IDOK when the user chose a file, IDCANCEL otherwise.
  virtual INT_PTR DoModal();
  // The chosen path, UTF-8.
  std::string GetPathName() const { return path_; }
  // The chosen name's extension without the dot; empty when it has none.
  std::string GetFileExt() const { return ext_; }

  OPENFILENAMEW m_ofn{};

 private:
  BOOL open_;
  std::wstring defaultExt_;
  std::wstring filter_;  // '|' turned into the terminators the system wants
  wchar_t file_[MAX_PATH] = {};
  std::string path_;
  std::string ext_;
  CWnd* parent_;
};

// "a|b||" -> L"a\0b\0\0": the filter notation (GBK) turned into the system's.
std::wstring ConvertFilter(const char* filter);
