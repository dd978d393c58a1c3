// Terminal text on Windows: the program's words (GBK) and paths (UTF-8)
// through UTF-16 into the console's code page.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/console_text.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {
namespace {

std::string InConsoleCodePage(const std::wstring& wide, std::string_view original) {
  if (wide.empty()) return std::string(original);
  UINT cp = GetConsoleOutputCP();
  if (cp == 0) cp = CP_ACP;
  const char* fallback = cp == CP_UTF8 ? nullptr : "?";
  const int n = WideCharToMultiByte(cp, 0, wide.data(), int(wide.size()), nullptr, 0, fallback, nullptr);
  if (n <= 0) return std::string(original);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(cp, 0, wide.data(), int(wide.size()), out.data(), n, fallback, nullptr);
  return out;
}

}  // namespace

std::string ConsoleText(std::string_view gbk) { return InConsoleCodePage(win32::WideFromGbk(gbk), gbk); }

std::string ConsoleName(std::string_view path) { return InConsoleCodePage(win32::WideFromUtf8(path), path); }

void PrintMessage(const Message& message) {
  const std::string caption = message.captionIsPath ? ConsoleName(message.caption) : ConsoleText(message.caption);
  const std::string line =
      caption + ": " + ConsoleName(message.pathBeforeText) + ConsoleText(message.text) + "\n";
  fputs(line.c_str(), stderr);
  fflush(stderr);
}

}  // namespace pk::platform
