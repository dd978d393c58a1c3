// Files through the Win32 kernel calls: CreateFileA without sharing,
// ReadFile/WriteFile, SetFilePointer with a signed 32-bit position.
#include <windows.h>

#include <string>

#include "platform/file.h"
#include "platform/win32/unique_handle.h"

namespace pk::platform {

namespace {

class Win32File : public ReplacementFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    handle_.Reset();
    if (!tempPath_.empty()) DeleteFileA(tempPath_.c_str());
  }

  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    DWORD n = 0;
    BOOL ok = ReadFile(handle_.Get(), buffer, count, &n, nullptr);
    *done = n;
    return ok != FALSE;
  }

  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    DWORD n = 0;
    BOOL ok = WriteFile(handle_.Get(), buffer, count, &n, nullptr);
    *done = n;
    return ok != FALSE;
  }

  bool SeekFromStart(int32_t offset) override {
    // SetFilePointer takes the low 32 bits as a signed distance: a negative
    // position from the start fails with ERROR_NEGATIVE_SEEK.
    DWORD result = SetFilePointer(handle_.Get(), offset, nullptr, FILE_BEGIN);
    return !(result == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
  }

  uint64_t Length() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_.Get(), &size)) return 0;
    return uint64_t(size.QuadPart);
  }

  bool Commit() override {
    if (tempPath_.empty() || !handle_) return false;
    if (durability_ == Durability::Flushed && !FlushFileBuffers(handle_.Get())) return false;
    handle_.Reset();
    // ReplaceFile keeps the target's attributes and security; it needs an
    // existing target, so a new file is moved into place instead.
    BOOL ok;
    if (GetFileAttributesA(targetPath_.c_str()) != INVALID_FILE_ATTRIBUTES)
      ok = ReplaceFileA(targetPath_.c_str(), tempPath_.c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    else
      ok = MoveFileExA(tempPath_.c_str(), targetPath_.c_str(),
                       MOVEFILE_REPLACE_EXISTING |
                           (durability_ == Durability::Flushed ? MOVEFILE_WRITE_THROUGH : 0));
    if (!ok) return false;
    tempPath_.clear();
    return true;
  }

  void SetReplacement(std::string temp, std::string target, Durability durability) {
    tempPath_ = std::move(temp);
    targetPath_ = std::move(target);
    durability_ = durability;
  }

 private:
  win32::UniqueKernelHandle handle_;
  Durability durability_ = Durability::Flushed;
  std::string tempPath_;
  std::string targetPath_;
};

std::string FolderOf(const std::string& path) {
  // The last separator outside double-byte characters: a GBK trail byte may
  // have the backslash's code (乗 is 81 5C).
  size_t slash = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(BYTE(path[i])) && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') slash = i;
  }
  if (slash == std::string::npos) return ".";
  if (path[slash] == ':') return path.substr(0, slash + 1);
  return path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::unique_ptr<File> OpenFileForRead(const char* path) {
  HANDLE h = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

std::unique_ptr<ReplacementFile> CreateReplacementFile(const char* path, Durability durability) {
  std::string target(path);
  if (target.empty()) return nullptr;
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
  char temp[MAX_PATH];
  if (!GetTempFileNameA(FolderOf(target).c_str(), "pk", 0, temp)) return nullptr;
  HANDLE h = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileA(temp);
    return nullptr;
  }
  auto file = std::make_unique<Win32File>(h);
  file->SetReplacement(temp, std::move(target), durability);
  return file;
}

}  // namespace pk::platform
