#include "updater/host_version.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace pk::update {

bool ReadHostProgram(HostProgram* out) {
  char path[MAX_PATH + 1] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
  // A version record is a few kilobytes; anything huge is not one.
  if (size == 0 || size > 1024 * 1024) return false;
  std::vector<char> record(size);
  if (!::GetFileVersionInfoA(path, 0, size, record.data())) return false;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!::VerQueryValueA(record.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
      fixedSize < sizeof *fixed || fixed->dwSignature != 0xFEEF04BD) {
    return false;
  }
  HostProgram host;
  host.version.parts = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                        HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};

  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT translationsSize = 0;
  if (!::VerQueryValueA(record.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &translationsSize) ||
      !translations || translationsSize < sizeof(Translation)) {
    return false;
  }
  char query[64];
  std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\ProductName", translations->language,
                translations->codePage);
  char* name = nullptr;
  UINT nameLength = 0;
  if (!::VerQueryValueA(record.data(), query, reinterpret_cast<void**>(&name), &nameLength) || !name ||
      nameLength == 0) {
    return false;
  }
  host.product = std::string(name, strnlen(name, nameLength));
  if (host.product.empty()) return false;
  *out = std::move(host);
  return true;
}

}  // namespace pk::update
