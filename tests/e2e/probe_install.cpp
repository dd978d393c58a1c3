// The probe's commands for the installer tests: what an installed file and
// key look like from inside Windows, and a file held open as a running
// program would hold it.
//
//   probe version <title-unused> <file>      prints "version A.B.C.D" (the fixed file version)
//   probe users-may-set <view> <key>         a member of Users without administrator rights
//                                            may set values of HKLM\<key> (view 32 or 64),
//                                            and may not set them on its parent
//   probe hold <file> <ms>                   opens <file> without delete sharing (so it
//                                            cannot be renamed), prints "held", waits <ms>
//   probe gone <image prefix> <ms>           waits until no process whose executable's
//                                            name starts so (ignoring case) runs
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/e2e/probe.h"

namespace {

int Version(const std::wstring& file) {
  DWORD ignored = 0;
  DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::string data(size, '\0');
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!size || !::GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) {
    std::printf("FAIL no version record\n");
    return 1;
  }
  std::printf("version %u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
              HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  return 0;
}

// Whether `token` is granted KEY_SET_VALUE by the key's security descriptor.
bool MaySetValues(HANDLE token, REGSAM view, const std::wstring& key) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, READ_CONTROL | view, &opened) != ERROR_SUCCESS) {
    std::printf("info cannot open HKLM\\%s\n", probe::Narrow(key).c_str());
    return false;
  }
  DWORD size = 0;
  ::RegGetKeySecurity(opened, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                      nullptr, &size);
  std::string sd(size, '\0');
  bool read = size && ::RegGetKeySecurity(opened, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION |
                                                      GROUP_SECURITY_INFORMATION, sd.data(), &size) == ERROR_SUCCESS;
  ::RegCloseKey(opened);
  if (!read) return false;
  LPWSTR text = nullptr;
  if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(sd.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &text, nullptr)) {
    std::printf("info HKLM\\%s %s\n", probe::Narrow(key).c_str(), probe::Narrow(text).c_str());
    ::LocalFree(text);
  }
  GENERIC_MAPPING mapping{KEY_READ, KEY_WRITE, KEY_EXECUTE, KEY_ALL_ACCESS};
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  return ::AccessCheck(sd.data(), token, KEY_SET_VALUE, &mapping, &privileges, &privilegesSize, &granted, &allowed) &&
         allowed;
}

int UsersMaySet(REGSAM view, const std::wstring& key) {
  // This process's token with the Administrators group turned off: the
  // rights of a plain member of Users.
  HANDLE own = nullptr, restricted = nullptr, impersonation = nullptr;
  BYTE adminsSid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof adminsSid;
  ::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, adminsSid, &sidSize);
  SID_AND_ATTRIBUTES disable{adminsSid, 0};
  bool made = ::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &own) &&
              ::CreateRestrictedToken(own, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted) &&
              ::DuplicateToken(restricted, SecurityImpersonation, &impersonation);
  probe::Check(made, "a token without the Administrators group");
  if (made) {
    probe::Check(MaySetValues(impersonation, view, key), "a member of Users may set values of the key");
    const std::wstring parent = key.substr(0, key.rfind(L'\\'));
    probe::Check(!MaySetValues(impersonation, view, parent), "but not of its parent (the token is not an administrator's)");
  }
  for (HANDLE h : {own, restricted, impersonation}) {
    if (h) ::CloseHandle(h);
  }
  return probe::failures ? 1 : 0;
}

int Hold(const std::wstring& file, int ms) {
  HANDLE held = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    std::printf("FAIL cannot open the file\n");
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  ::Sleep(ms);
  ::CloseHandle(held);
  return 0;
}

bool Runs(const std::wstring& prefix) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return true;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found; more = ::Process32NextW(snapshot, &entry)) {
    found = ::_wcsnicmp(entry.szExeFile, prefix.c_str(), prefix.size()) == 0;
  }
  ::CloseHandle(snapshot);
  return found;
}

int Gone(const std::wstring& prefix, int ms) {
  for (int waited = 0; Runs(prefix); waited += 100) {
    if (waited >= ms) {
      std::printf("FAIL %s still runs\n", probe::Narrow(prefix).c_str());
      return 1;
    }
    ::Sleep(100);
  }
  return 0;
}

}  // namespace

int RunInstallCommand(const std::string& command, int argc, char** argv) {
  if (command == "version" && argc > 2) return Version(probe::Widen(argv[2]));
  if (command == "users-may-set" && argc > 3) {
    return UsersMaySet(std::atoi(argv[2]) == 32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, probe::Widen(argv[3]));
  }
  if (command == "hold" && argc > 3) return Hold(probe::Widen(argv[2]), std::atoi(argv[3]));
  if (command == "gone" && argc > 3) return Gone(probe::Widen(argv[2]), std::atoi(argv[3]));
  return -1;
}
