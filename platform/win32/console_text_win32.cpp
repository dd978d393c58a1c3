// Terminal text on Windows: the ANSI code page through UTF-16 into the
// console's code page.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/console_text.h"

namespace pk::platform {

std::string ConsoleText(std::string_view ansi) {
  // ANSI (GBK on a Chinese system) to UTF-16, then to the console's code page.
  if (ansi.empty()) return {};
  int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), nullptr, 0);
  if (wide <= 0) return std::string(ansi);
  std::wstring w(size_t(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), w.data(), wide);
  UINT cp = GetConsoleOutputCP();
  if (cp == 0) cp = CP_ACP;
  int n = WideCharToMultiByte(cp, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string(ansi);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(cp, 0, w.data(), wide, out.data(), n, nullptr, nullptr);
  return out;
}

void PrintMessage(std::string_view text, std::string_view caption) {
  // Paths are ANSI on Windows, like the program's text.
  std::string line = ConsoleText(caption) + ": " + ConsoleText(text) + "\n";
  fputs(line.c_str(), stderr);
  fflush(stderr);
}

}  // namespace pk::platform
