#include "ui/main/source_path.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

std::string LowerFileExtension(const std::string& path) {
  const size_t nameStart = path.find_last_of("\\/:");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  return extension;
}

std::string CommandLineFile(const char* commandLine) {
  std::string line = commandLine ? commandLine : "";
  const size_t first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  if (line[first] == '"') {
    const size_t close = line.find('"', first + 1);
    return line.substr(first + 1, close == std::string::npos ? std::string::npos : close - first - 1);
  }
  const size_t last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}

std::string FullPathName(const std::string& path) {
  if (path.empty()) return path;
  const std::wstring wide = pk::win32::WideFromUtf8(path);
  DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  DWORD got = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return path;
  full.resize(got);
  return pk::win32::Utf8FromWide(full);
}
