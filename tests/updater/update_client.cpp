// Stands in for the program in the loopback tests: calls CheckForUpdate the
// way Pixelkite.exe does, but with the location given on the command line,
// and prints what the library answered and how long it took.
//   pk_update_client <location>
#include <windows.h>

#include <cstdio>

#include "updater/nub_updater.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pk_update_client <location>\n");
    return 2;
  }
  ULONGLONG start = ::GetTickCount64();
  int result = CheckForUpdate(argv[1], 0);
  ULONGLONG took = ::GetTickCount64() - start;
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(MAX_PATH, temp);
  std::printf("result %d\nmilliseconds %llu\ntemp %s\n", result, took, temp);
  std::fflush(stdout);
  return 0;
}
