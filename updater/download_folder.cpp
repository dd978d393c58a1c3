#include "updater/download_folder.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "updater/cng.h"

namespace pk::update {
namespace {

constexpr size_t kRandomDigits = 16;

using win32::Utf8FromWide;
using win32::WideFromUtf8;

// Paths are UTF-8 here and wide at every call: a temp folder named outside
// the ANSI code page (a user name in Hangul on a Western system) works too.
std::string TempFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return {};
  return Utf8FromWide(std::wstring_view(temp, length));
}

// The SID of the user this process runs as.
std::vector<uint8_t> CurrentUserSid() {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) return {};
  win32::UniqueKernelHandle token(opened);
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<uint8_t> buffer(size);
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!::IsValidSid(sid)) return {};
  auto* first = static_cast<uint8_t*>(sid);
  return std::vector<uint8_t>(first, first + ::GetLengthSid(sid));
}

std::vector<uint8_t> WellKnownSid(WELL_KNOWN_SID_TYPE type) {
  std::vector<uint8_t> sid(SECURITY_MAX_SID_SIZE);
  DWORD size = DWORD(sid.size());
  if (!::CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
  sid.resize(size);
  return sid;
}

// An access list that gives the user, SYSTEM and the Administrators full
// control of the folder and of what is created in it, and no one else anything.
std::vector<uint8_t> PrivateAcl() {
  const std::vector<uint8_t> sids[] = {CurrentUserSid(), WellKnownSid(WinLocalSystemSid),
                                       WellKnownSid(WinBuiltinAdministratorsSid)};
  DWORD size = sizeof(ACL);
  for (const auto& sid : sids) {
    if (sid.empty()) return {};
    size += DWORD(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sid.size());
  }
  std::vector<uint8_t> acl(size);
  auto* list = reinterpret_cast<ACL*>(acl.data());
  if (!::InitializeAcl(list, size, ACL_REVISION)) return {};
  for (const auto& sid : sids) {
    if (!::AddAccessAllowedAceEx(list, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                 const_cast<uint8_t*>(sid.data()))) {
      return {};
    }
  }
  return acl;
}

// "pixelkite-update-" and exactly 16 lower-case hex digits: only folders
// this library made are ever removed.
bool IsDownloadFolderName(const std::string& name) {
  size_t prefix = std::strlen(kDownloadFolderPrefix);
  if (name.compare(0, prefix, kDownloadFolderPrefix) != 0 || name.size() != prefix + kRandomDigits) {
    return false;
  }
  for (const char* c = name.c_str() + prefix; *c; ++c) {
    if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f'))) return false;
  }
  return true;
}

// Calls visit(attributes, name) for each entry; names UTF-8.
template <typename Visit>
void ForEachEntry(const std::string& pattern, Visit visit) {
  WIN32_FIND_DATAW found{};
  HANDLE first = ::FindFirstFileW(WideFromUtf8(pattern).c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return;
  win32::UniqueFind listing(first);
  do {
    visit(found.dwFileAttributes, Utf8FromWide(found.cFileName));
  } while (::FindNextFileW(listing.Get(), &found));
}

void DeleteFileNamed(const std::string& file) { ::DeleteFileW(WideFromUtf8(file).c_str()); }
void RemoveFolderNamed(const std::string& folder) { ::RemoveDirectoryW(WideFromUtf8(folder).c_str()); }

}  // namespace

std::string MakePrivateFolder() {
  std::string temp = TempFolder();
  std::vector<uint8_t> acl = PrivateAcl();
  if (temp.empty() || acl.empty()) return {};
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl.data()), FALSE) ||
      // Protected: nothing is inherited from the temp folder.
      !::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
    return {};
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
  for (int attempt = 0; attempt < 8; ++attempt) {
    uint8_t random[kRandomDigits / 2];
    if (!RandomBytes(random)) return {};
    std::string folder = temp + kDownloadFolderPrefix;
    for (uint8_t b : random) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", b);
      folder += hex;
    }
    if (::CreateDirectoryW(WideFromUtf8(folder).c_str(), &attributes)) return folder;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

void RemoveEarlierFolders() {
  std::string temp = TempFolder();
  if (temp.empty()) return;
  ForEachEntry(temp + kDownloadFolderPrefix + "*", [&](DWORD attributes, const std::string& name) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || !IsDownloadFolderName(name)) return;
    std::string folder = temp + name;
    // A link in its place is removed as a link; what it points to is left alone.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      ForEachEntry(folder + "\\*", [&](DWORD inside, const std::string& file) {
        if (!(inside & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) DeleteFileNamed(folder + "\\" + file);
      });
    }
    RemoveFolderNamed(folder);
  });
}

void DeleteDownload(const std::string& folder, const std::string& file) {
  DeleteFileNamed(file);
  RemoveFolderNamed(folder);
}

}  // namespace pk::update
