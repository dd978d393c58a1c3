// The arguments from GetCommandLineW, cut by the system's own rules
// (CommandLineToArgvW); the runtime's argv holds them in the ANSI code page.
#include <windows.h>
#include <shellapi.h>

#include "platform/arguments.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(win32::Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace pk::platform
