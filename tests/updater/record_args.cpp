// A program that only notes that it ran: it appends its command line, its
// working folder, that folder's access list (as SDDL), the names in it and
// the user it runs as to the file named by PK_RECORD_FILE. The tests serve
// it as the installer and register it as the handler of link targets.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cstring>
#include <string>

int main() {
  char file[MAX_PATH + 1] = {};
  if (!::GetEnvironmentVariableA("PK_RECORD_FILE", file, MAX_PATH)) return 1;
  char folder[MAX_PATH + 1] = {};
  ::GetCurrentDirectoryA(MAX_PATH, folder);
  std::FILE* out = std::fopen(file, "ab");
  if (!out) return 1;
  std::fprintf(out, "run %s\ncwd %s\n", ::GetCommandLineA(), folder);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  char* sddl = nullptr;
  if (::GetNamedSecurityInfoA(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr,
                              &descriptor) == ERROR_SUCCESS &&
      ::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                             &sddl, nullptr)) {
    std::fprintf(out, "acl %s\n", sddl);
  }
  ::LocalFree(sddl);
  ::LocalFree(descriptor);
  HANDLE token = nullptr;
  alignas(TOKEN_USER) char user[256];
  DWORD size = 0;
  char* sid = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token) &&
      ::GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
      ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) {
    std::fprintf(out, "user %s\n", sid);
  }
  ::LocalFree(sid);
  if (token) ::CloseHandle(token);
  WIN32_FIND_DATAA found;
  HANDLE listing = ::FindFirstFileA((std::string(folder) + "\\*").c_str(), &found);
  std::fprintf(out, "files");
  for (BOOL more = listing != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(listing, &found)) {
    if (std::strcmp(found.cFileName, ".") && std::strcmp(found.cFileName, "..")) {
      std::fprintf(out, " %s", found.cFileName);
    }
  }
  if (listing != INVALID_HANDLE_VALUE) ::FindClose(listing);
  std::fprintf(out, "\n");
  std::fclose(out);
  return 0;
}
