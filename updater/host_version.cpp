#include "updater/host_version.h"

#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"

namespace pk::update {

bool ReadHostProgram(HostProgram* out) {
  // By its wide name: a folder named outside the ANSI code page is found too.
  const std::wstring path = win32::ModuleFileName(nullptr);
  if (path.empty()) return false;
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  // A version record is a few kilobytes; anything huge is not one.
  if (size == 0 || size > 1024 * 1024) return false;
  std::vector<char> record(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return false;

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!::VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || !fixed ||
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
  if (!::VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &translationsSize) ||
      !translations || translationsSize < sizeof(Translation)) {
    return false;
  }
  wchar_t query[64];
  std::swprintf(query, std::size(query), L"\\StringFileInfo\\%04x%04x\\ProductName", translations->language,
                translations->codePage);
  wchar_t* name = nullptr;
  UINT nameLength = 0;
  if (!::VerQueryValueW(record.data(), query, reinterpret_cast<void**>(&name), &nameLength) || !name ||
      nameLength == 0) {
    return false;
  }
  // The manifest names the product in the library's words (GBK), whatever
  // the system's code page.
  host.product = win32::GbkFromWide(std::wstring_view(name, wcsnlen(name, nameLength)));
  if (host.product.empty()) return false;
  *out = std::move(host);
  return true;
}

}  // namespace pk::update
