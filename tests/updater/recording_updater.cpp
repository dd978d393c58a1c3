// A test build of NubUpdater.dll that only records its calls: it appends the
// arguments, and whether the caller's window was still on screen, to the file
// named by PK_UPDATE_RECORD, then returns at once.
#include <windows.h>

#include <cstdio>

#include "updater/nub_updater.h"

extern "C" int WINAPI CheckForUpdate(const char* location, int reserved) {
  char file[MAX_PATH + 1] = {};
  if (!::GetEnvironmentVariableA("PK_UPDATE_RECORD", file, MAX_PATH)) return 0;
  HWND active = ::GetActiveWindow();
  std::FILE* out = std::fopen(file, "ab");
  if (!out) return 0;
  std::fprintf(out, "CheckForUpdate(\"%s\", %d) window %s\n", location ? location : "(null)", reserved,
               active && ::IsWindowVisible(active) ? "shown" : "gone");
  std::fclose(out);
  return 0;
}
