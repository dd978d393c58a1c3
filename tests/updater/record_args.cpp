// A program that only notes that it ran: it appends its command line and its
// working folder to the file named by PK_RECORD_FILE. The tests serve it as
// the installer and register it as the handler of link targets.
#include <windows.h>

#include <cstdio>

int main() {
  char file[MAX_PATH + 1] = {};
  if (!::GetEnvironmentVariableA("PK_RECORD_FILE", file, MAX_PATH)) return 1;
  char folder[MAX_PATH + 1] = {};
  ::GetCurrentDirectoryA(MAX_PATH, folder);
  std::FILE* out = std::fopen(file, "ab");
  if (!out) return 1;
  std::fprintf(out, "run %s\ncwd %s\n", ::GetCommandLineA(), folder);
  std::fclose(out);
  return 0;
}
