// Files on POSIX systems with the semantics the codec expects of Windows.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/file.h"
#include "platform/file_faults.h"

namespace pk::platform {

namespace {

// An exclusive lock on the file a replacement is about to take the place of,
// held until the name points at the new file.
class TargetLock {
 public:
  TargetLock() = default;
  ~TargetLock() {
    if (fd_ >= 0) close(fd_);
  }
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;

  // Whether `target` may be replaced, as Windows decides it: not when it is
  // read-only (no write permission at all, or none for us), nor while another
  // program holds it open (readers hold a shared lock on what they read).
  bool Take(const std::string& target) {
    struct stat st;
    // No file, or not a plain file: rename alone decides.
    if (lstat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return true;
    if ((st.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0) return false;
    fd_ = open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) return true;  // nothing to lock through (a write-only file)
    // A file system without locks cannot say whether the file is held.
    return flock(fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
  }

 private:
  int fd_ = -1;
};

class PosixFile : public ReplacementFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { Discard(); }

  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (auto fault = TakeFileFault(FileCall::Read)) {
      if (*fault != FileFaultKind::Short) return errno = EIO, false;
      count /= 2;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (*done < count) {
      ssize_t n = read(fd_, out + *done, count - *done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) break;  // end of file: a short read, not an error
      *done += uint32_t(n);
    }
    return true;
  }

  bool Write(const void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
    if (auto fault = TakeFileFault(FileCall::Write)) {
      if (*fault != FileFaultKind::Short) return errno = EIO, false;
      count /= 2;
    }
    auto* in = static_cast<const uint8_t*>(buffer);
    while (*done < count) {
      ssize_t n = write(fd_, in + *done, count - *done);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      *done += uint32_t(n);
    }
    return true;
  }

  bool SeekFromStart(int32_t offset) override {
    if (TakeFileFault(FileCall::Seek)) return errno = EIO, false;
    if (offset < 0) return false;
    return lseek(fd_, offset, SEEK_SET) >= 0;
  }

  uint64_t Length() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return 0;
    return uint64_t(st.st_size);
  }

  void SetReplacement(std::string temp, std::string target, Durability durability) {
    tempPath_ = std::move(temp);
    targetPath_ = std::move(target);
    durability_ = durability;
  }

 private:
  Status<CommitFault> CommitNow() override {
    if (tempPath_.empty() || fd_ < 0) return CommitFault::Replace;
    // The data must be on disk before the name points at it.
    if (durability_ == Durability::Flushed && (TakeFileFault(FileCall::Flush) || fsync(fd_) != 0))
      return CommitFault::Flush;
    const bool closeFault = TakeFileFault(FileCall::Close).has_value();
    if (close(std::exchange(fd_, -1)) != 0 || closeFault) return CommitFault::Close;
    TargetLock lock;
    if (auto fault = TakeFileFault(FileCall::Replace))
      return *fault == FileFaultKind::Refused ? CommitFault::TargetRefused : CommitFault::Replace;
    if (!lock.Take(targetPath_)) return CommitFault::TargetRefused;
    // rename() swaps the name over in one step: a failure leaves the target as it was.
    if (rename(tempPath_.c_str(), targetPath_.c_str()) != 0)
      return errno == EACCES || errno == EPERM || errno == EBUSY ? CommitFault::TargetRefused
                                                                  : CommitFault::Replace;
    tempPath_.clear();
    return {};
  }

  void Discard() override {
    if (fd_ >= 0) close(std::exchange(fd_, -1));
    if (!tempPath_.empty()) unlink(tempPath_.c_str());
    tempPath_.clear();
  }

  int fd_;
  Durability durability_ = Durability::Flushed;
  std::string tempPath_;
  std::string targetPath_;
};

// `length` letters and digits, different in every process and call.
std::string RandomName(size_t length) {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  uint8_t bytes[16];
  if (length > sizeof bytes || getentropy(bytes, length) != 0) {
    static std::atomic<unsigned> serial{0};
    return std::to_string(getpid()) + "-" + std::to_string(++serial);
  }
  std::string name;
  for (size_t i = 0; i < length; ++i) name += kChars[bytes[i] % 62];
  return name;
}

}  // namespace

std::unique_ptr<File> OpenFileForRead(const char* path) {
  if (TakeFileFault(FileCall::Open)) return nullptr;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  // Only regular files: a folder or a device is not an icon source.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  // No sharing: a file another writer holds locked is refused, as Windows
  // refuses a file opened elsewhere without sharing.
  if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<PosixFile>(fd);
}

std::unique_ptr<ReplacementFile> CreateReplacementFile(const char* path, Durability durability) {
  std::string target(path);
  if (target.empty()) return nullptr;
  struct stat st;
  // A folder cannot be replaced by a file.
  if (stat(path, &st) == 0 && S_ISDIR(st.st_mode)) return nullptr;
  // A short hidden name in the target's folder (rename works within one file
  // system), so that a target whose name has the full 255 bytes can be saved.
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string temp;
  int fd = -1;
  if (!TakeFileFault(FileCall::Create)) {
    // Created with 0666, which the kernel cuts by the umask, as for any new file.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      temp = folder + ".pk" + RandomName(6);
      fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
  }
  if (fd < 0) return nullptr;
  // A replaced file keeps its permissions.
  if (stat(path, &st) == 0) fchmod(fd, st.st_mode & 07777);
  auto file = std::make_unique<PosixFile>(fd);
  file->SetReplacement(std::move(temp), std::move(target), durability);
  return file;
}

}  // namespace pk::platform
