#include "ui/main/source_path.h"

#include <windows.h>

#include <vector>

namespace {

bool IsLeadByte(const std::string& text, size_t i) {
  return i + 1 < text.size() && ::IsDBCSLeadByte(static_cast<BYTE>(text[i]));
}

}  // namespace

std::string LowerFileExtension(const std::string& path) {
  size_t nameStart = 0;
  size_t dot = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsLeadByte(path, i)) {
      ++i;
      continue;
    }
    const char c = path[i];
    if (c == '\\' || c == '/' || c == ':') {
      nameStart = i + 1;
      dot = std::string::npos;
    } else if (c == '.') {
      dot = i;
    }
  }
  if (dot == std::string::npos || dot < nameStart) return {};
  std::string extension = path.substr(dot + 1);
  for (size_t i = 0; i < extension.size(); ++i) {
    if (IsLeadByte(extension, i)) {
      ++i;
    } else if (extension[i] >= 'A' && extension[i] <= 'Z') {
      extension[i] = char(extension[i] - 'A' + 'a');
    }
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
  DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<char> full(needed);
  DWORD got = ::GetFullPathNameA(path.c_str(), needed, full.data(), nullptr);
  if (got == 0 || got >= needed) return path;
  return std::string(full.data(), got);
}
