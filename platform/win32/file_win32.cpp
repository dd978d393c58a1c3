// Files through the Win32 kernel calls: CreateFileW without sharing,
// ReadFile/WriteFile, SetFilePointer with a signed 32-bit position. Paths
// arrive as UTF-8 and reach the system as UTF-16, so any name works.
#include <windows.h>

#include <string>

#include "platform/file.h"
#include "platform/file_faults.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {

namespace {

class Win32File : public ReplacementFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { Discard(); }

  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (auto fault = TakeFileFault(FileCall::Read)) {
      if (*fault != FileFaultKind::Short) return SetLastError(ERROR_READ_FAULT), false;
      count /= 2;
    }
    DWORD n = 0;
    BOOL ok = ReadFile(handle_.Get(), buffer, count, &n, nullptr);
    *done = n;
    return ok != FALSE;
  }

  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (auto fault = TakeFileFault(FileCall::Write)) {
      if (*fault != FileFaultKind::Short) return SetLastError(ERROR_WRITE_FAULT), false;
      count /= 2;
    }
    DWORD n = 0;
    BOOL ok = WriteFile(handle_.Get(), buffer, count, &n, nullptr);
    *done = n;
    return ok != FALSE;
  }

  bool SeekFromStart(int32_t offset) override {
    if (TakeFileFault(FileCall::Seek)) return SetLastError(ERROR_SEEK), false;
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

  void SetReplacement(std::wstring temp, std::wstring target, Durability durability) {
    tempPath_ = std::move(temp);
    targetPath_ = std::move(target);
    durability_ = durability;
  }

 private:
  Status<CommitFault> CommitNow() override {
    if (tempPath_.empty() || !handle_) return CommitFault::Replace;
    const bool flush = durability_ == Durability::Flushed;
    if (flush && (TakeFileFault(FileCall::Flush) || !FlushFileBuffers(handle_.Get()))) return CommitFault::Flush;
    const bool closeFault = TakeFileFault(FileCall::Close).has_value();
    if (!CloseHandle(handle_.Release()) || closeFault) return CommitFault::Close;
    const DWORD error = Replace();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      return CommitFault::TargetRefused;
    if (error != NO_ERROR) return CommitFault::Replace;
    tempPath_.clear();
    return {};
  }

  void Discard() override {
    handle_.Reset();
    if (!tempPath_.empty()) DeleteFileW(tempPath_.c_str());
    tempPath_.clear();
  }

  // Puts the temporary file in the target's place; the system's error code.
  // MoveFileEx swaps the name over in one step, so a failure leaves the old
  // target whole. (ReplaceFile can fail half way, with the old file gone and
  // the new bytes only under the temporary name that the clean-up deletes.)
  DWORD Replace() {
    if (auto fault = TakeFileFault(FileCall::Replace))
      return *fault == FileFaultKind::Refused ? ERROR_SHARING_VIOLATION : ERROR_WRITE_FAULT;
    const DWORD attributes = GetFileAttributesW(targetPath_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      // A read-only file is not replaced, as creating it anew would be refused.
      if (attributes & FILE_ATTRIBUTE_READONLY) return ERROR_ACCESS_DENIED;
      // The new file keeps the flags the user sees on the old one.
      constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
      if (attributes & kKept) SetFileAttributesW(tempPath_.c_str(), attributes & kKept);
    }
    const DWORD flags =
        MOVEFILE_REPLACE_EXISTING | (durability_ == Durability::Flushed ? MOVEFILE_WRITE_THROUGH : 0);
    if (MoveFileExW(tempPath_.c_str(), targetPath_.c_str(), flags)) return NO_ERROR;
    return GetLastError();
  }

  win32::UniqueKernelHandle handle_;
  Durability durability_ = Durability::Flushed;
  std::wstring tempPath_;
  std::wstring targetPath_;
};

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/:");
  if (slash == std::wstring::npos) return L".";
  if (path[slash] == L':') return path.substr(0, slash + 1);
  return path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

std::unique_ptr<File> OpenFileForRead(const char* path) {
  if (TakeFileFault(FileCall::Open)) return nullptr;
  HANDLE h = CreateFileW(win32::WideFromUtf8(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(h);
}

std::unique_ptr<ReplacementFile> CreateReplacementFile(const char* path, Durability durability) {
  std::wstring target = win32::WideFromUtf8(path);
  if (target.empty()) return nullptr;
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return nullptr;
  wchar_t temp[MAX_PATH];
  if (!GetTempFileNameW(FolderOf(target).c_str(), L"pk", 0, temp)) return nullptr;
  HANDLE h = TakeFileFault(FileCall::Create)
                 ? INVALID_HANDLE_VALUE
                 : CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    DeleteFileW(temp);
    return nullptr;
  }
  auto file = std::make_unique<Win32File>(h);
  file->SetReplacement(temp, std::move(target), durability);
  return file;
}

}  // namespace pk::platform
