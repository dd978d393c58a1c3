// Folders and names through the ANSI calls, so every name is in the code page
// that CreateFileA and LoadLibraryExA take.
#include <windows.h>

#include "platform/directory.h"
#include "platform/win32/unique_handle.h"

namespace pk::platform {

PathType TypeOfPath(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathType::Missing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return PathType::Directory;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return PathType::Other;
  return PathType::File;
}

std::optional<std::vector<DirectoryEntry>> ReadDirectory(const char* path) {
  std::string pattern(path);
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern.push_back('\\');
  pattern.push_back('*');
  WIN32_FIND_DATAA data;
  HANDLE first = FindFirstFileA(pattern.c_str(), &data);
  if (first == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::vector<DirectoryEntry>{};
    return std::nullopt;
  }
  win32::UniqueFind find(first);
  std::vector<DirectoryEntry> entries;
  do {
    std::string_view name = data.cFileName;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry;
    entry.name = std::string(name);
    entry.isLink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (entry.isLink)
      entry.type = PathType::Other;
    else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      entry.type = PathType::Directory;
    else
      entry.type = PathType::File;
    entries.push_back(std::move(entry));
  } while (FindNextFileA(find.Get(), &data));
  return entries;
}

std::optional<std::string> RealPath(const char* path) {
  if (TypeOfPath(path) == PathType::Missing) return std::nullopt;
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return std::string(full, n);
}

bool MakeDirectories(const char* path) {
  if (TypeOfPath(path) == PathType::Directory) return true;
  std::string p(path);
  for (size_t i = 0; i < p.size(); ++i) {
    // A double-byte character's trail byte may be the backslash's code.
    if (IsDBCSLeadByte(BYTE(p[i]))) {
      ++i;
      continue;
    }
    if ((p[i] != '\\' && p[i] != '/') || i == 0 || p[i - 1] == ':') continue;
    CreateDirectoryA(p.substr(0, i).c_str(), nullptr);
  }
  CreateDirectoryA(path, nullptr);
  return TypeOfPath(path) == PathType::Directory;
}

uint64_t FileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

char PathSeparator() { return '\\'; }

bool FileNamesAreUtf8() { return false; }

std::string FileNameFromText(std::string_view text) { return std::string(text); }

}  // namespace pk::platform
