#include "platform/win32/wide_text.h"

#include <windows.h>

namespace pk::win32 {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(size_t(n), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

std::string FromWide(UINT codePage, std::wstring_view wide) {
  if (wide.empty()) return {};
  // UTF-8 takes no default character; GBK gets '?' for what it lacks.
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  const int n = WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), nullptr, 0, fallback, nullptr);
  if (n <= 0) return {};
  std::string text(size_t(n), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), int(wide.size()), text.data(), n, fallback, nullptr);
  return text;
}

}  // namespace

std::wstring WideFromGbk(std::string_view gbk) { return ToWide(kProgramCodePage, gbk); }
std::string GbkFromWide(std::wstring_view wide) { return FromWide(kProgramCodePage, wide); }
std::wstring WideFromUtf8(std::string_view utf8) { return ToWide(CP_UTF8, utf8); }
std::string Utf8FromWide(std::wstring_view wide) { return FromWide(CP_UTF8, wide); }

std::wstring ModuleFileName(void* module) {
  std::wstring path(MAX_PATH, L'\0');
  // Long paths are cut to the buffer and not terminated: try a larger one.
  while (path.size() <= 32768) {
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), path.data(), DWORD(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return {};
}

}  // namespace pk::win32
