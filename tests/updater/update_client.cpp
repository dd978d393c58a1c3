// Stands in for the program in the loopback tests: calls CheckForUpdate the
// way Pixelkite.exe does, but with the location given on the command line,
// and prints what the library answered and how long it took. The record of
// the last check is cleared first, unless --keep-record is given.
//   pk_update_client [--keep-record] <location>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "updater/check_record.h"
#include "updater/nub_updater.h"

int main(int argc, char** argv) {
  bool keep = argc == 3 && std::strcmp(argv[1], "--keep-record") == 0;
  if (argc != 2 && !keep) {
    std::fprintf(stderr, "usage: pk_update_client [--keep-record] <location>\n");
    return 2;
  }
  if (!keep) ::RegDeleteKeyA(HKEY_CURRENT_USER, pk::update::kCheckRecordKey);
  ULONGLONG start = ::GetTickCount64();
  int result = CheckForUpdate(argv[argc - 1], 0);
  ULONGLONG took = ::GetTickCount64() - start;
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(MAX_PATH, temp);
  std::printf("result %d\nmilliseconds %llu\ntemp %s\n", result, took, temp);
  std::fflush(stdout);
  return 0;
}
