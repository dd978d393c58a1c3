// Files on POSIX systems with the semantics the codec expects of Windows.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/file.h"

namespace pk::platform {

namespace {

class PosixFile : public ReplacementFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) close(fd_);
    if (!tempPath_.empty()) unlink(tempPath_.c_str());
  }

  bool Read(void* buffer, uint32_t count, uint32_t* done) override {
    *done = 0;
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
    if (offset < 0) return false;
    return lseek(fd_, offset, SEEK_SET) >= 0;
  }

  uint64_t Length() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return 0;
    return uint64_t(st.st_size);
  }

  bool Commit() override {
    if (tempPath_.empty() || fd_ < 0) return false;
    // The data must be on disk before the name points at it.
    if (durability_ == Durability::Flushed && fsync(fd_) != 0) return false;
    if (close(fd_) != 0) {
      fd_ = -1;
      return false;
    }
    fd_ = -1;
    if (rename(tempPath_.c_str(), targetPath_.c_str()) != 0) return false;
    tempPath_.clear();
    return true;
  }

  void SetReplacement(std::string temp, std::string target, Durability durability) {
    tempPath_ = std::move(temp);
    targetPath_ = std::move(target);
    durability_ = durability;
  }

 private:
  int fd_;
  Durability durability_ = Durability::Flushed;
  std::string tempPath_;
  std::string targetPath_;
};

}  // namespace

std::unique_ptr<File> OpenFileForRead(const char* path) {
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
  std::string temp = target + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return nullptr;
  // Keep the permissions a replaced file had; new files get the usual 0666 & ~umask.
  mode_t mode;
  if (stat(path, &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  auto file = std::make_unique<PosixFile>(fd);
  file->SetReplacement(std::move(temp), std::move(target), durability);
  return file;
}

}  // namespace pk::platform
