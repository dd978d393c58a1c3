// Folders and names through the wide calls: names come and go as UTF-8, as
// the file layer takes them.
#include <windows.h>

#include "platform/directory.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {

namespace {

DWORD AttributesOf(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

}  // namespace

PathType TypeOfPath(const char* path) {
  const DWORD attributes = AttributesOf(win32::WideFromUtf8(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathType::Missing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathType::Directory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathType::Other;
  return PathType::File;
}

std::optional<std::vector<DirectoryEntry>> ReadDirectory(const char* path) {
  std::wstring pattern = win32::WideFromUtf8(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern.push_back(L'\\');
  pattern.push_back(L'*');
  WIN32_FIND_DATAW data;
  HANDLE first = FindFirstFileW(pattern.c_str(), &data);
  if (first == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<DirectoryEntry>{};
    return std::nullopt;
  }
  win32::UniqueFind find(first);
  std::vector<DirectoryEntry> entries;
  do {
    std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirectoryEntry entry;
    entry.name = win32::Utf8FromWide(name);
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (entry.isLink)
      entry.type = PathType::Other;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      entry.type = PathType::Directory;
    else
      entry.type = PathType::File;
    entries.push_back(std::move(entry));
  } while (FindNextFileW(find.Get(), &data));
  return entries;
}

std::optional<std::string> RealPath(const char* path) {
  if (TypeOfPath(path) == PathType::Missing) return std::nullopt;
  const std::wstring wide = win32::WideFromUtf8(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD n = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (n == 0 || n >= needed) return std::nullopt;
  full.resize(n);
  return win32::Utf8FromWide(full);
}

bool MakeDirectories(const char* path) {
  if (TypeOfPath(path) == PathType::Directory) return true;
  const std::wstring p = win32::WideFromUtf8(path);
  for (size_t i = 1; i < p.size(); ++i) {
    if ((p[i] != L'\\' && p[i] != L'/') || p[i - 1] == L':') continue;
    CreateDirectoryW(p.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryW(p.c_str(), nullptr);
  return TypeOfPath(path) == PathType::Directory;
}

uint64_t FileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(win32::WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

char PathSeparator() { return '\\'; }

std::string FileNameFromText(std::string_view text) { return win32::Utf8FromWide(win32::WideFromGbk(text)); }

}  // namespace pk::platform
