// Files as the codec uses them: opened without sharing, reads of existing
// files only, writes that replace the target only once every byte is down.
#pragma once

#include <cstdint>
#include <memory>

#include "base/bytes.h"
#include "base/result.h"

namespace pk::platform {

class File {
 public:
  virtual ~File() = default;

  // Reads up to `count` bytes; `*done` receives the number read. False on an
  // I/O error (a short read at end of file is not an error).
  virtual bool Read(void* buffer, uint32_t count, uint32_t* done) = 0;
  // Writes `count` bytes; `*done` receives the number written.
  virtual bool Write(const void* buffer, uint32_t count, uint32_t* done) = 0;
  // Moves the position to `offset` bytes from the start. The position is a
  // signed 32-bit value as the Windows call takes it: a negative one fails.
  // Moving past the end succeeds (a later read comes up short).
  virtual bool SeekFromStart(int32_t offset) = 0;
  // The file's length in bytes. Readers bound every size field by it before
  // they allocate anything.
  virtual uint64_t Length() = 0;
};

// True when all `count` bytes were read: a short read is a failure to the codec.
inline bool ReadExactly(File& file, void* buffer, uint32_t count) {
  uint32_t done = 0;
  return file.Read(buffer, count, &done) && done == count;
}

// True when all `count` bytes were written.
inline bool WriteExactly(File& file, const void* buffer, uint32_t count) {
  uint32_t done = 0;
  return file.Write(buffer, count, &done) && done == count;
}

// Opens an existing file for reading, without sharing; none when it cannot.
std::unique_ptr<File> OpenFileForRead(const char* path);

// A read-only file over bytes held in memory, which must outlive it. It reads,
// seeks and comes up short exactly as a file on disk of those bytes does, so
// the readers can take bytes that never were on disk (and the fuzz targets
// run without touching one). Writes fail.
class MemoryFile final : public File {
 public:
  explicit MemoryFile(Bytes bytes) : bytes_(bytes) {}
  bool Read(void* buffer, uint32_t count, uint32_t* done) override;
  bool Write(const void* buffer, uint32_t count, uint32_t* done) override;
  bool SeekFromStart(int32_t offset) override;
  uint64_t Length() override { return bytes_.size(); }

 private:
  Bytes bytes_;
  uint64_t position_ = 0;
};

// Why Commit() failed. The target keeps its previous bytes (or stays absent)
// whatever the reason.
enum class CommitFault {
  Flush,          // the bytes could not be put on disk
  Close,          // closing the temporary file failed
  Replace,        // the target could not be replaced (an I/O error, or no file to commit)
  TargetRefused,  // the target is read-only or held open by another program
};

// A file being written in place of `path`. The bytes go to a temporary file in
// the same folder; Commit() puts it in place of the target (replacing any file
// of that name) in one step, so the target is always either its old bytes or
// all the new ones. A failed Commit() removes the temporary file at once, and
// so does destruction without a successful Commit(); the target stays as it was.
// Paths are UTF-8 on Windows too (the system gets them as UTF-16).
class ReplacementFile : public File {
 public:
  Status<CommitFault> Commit() {
    auto committed = CommitNow();
    // A replacement that failed leaves nothing behind, even while its
    // failure is being reported.
    if (!committed) Discard();
    return committed;
  }

 protected:
  // The backend's work: flush, close, put the temporary file in place.
  virtual Status<CommitFault> CommitNow() = 0;
  // Closes and removes the temporary file, if there still is one.
  virtual void Discard() = 0;
};

// Whether Commit() waits until the bytes are on disk before the name points at
// them. Saving a user's file does; bulk extraction, which writes thousands of
// files that can be made again, does not (a crash may leave some of them empty).
enum class Durability { Flushed, Unflushed };

// Begins a replacement of `path`; none when the temporary file cannot be made.
std::unique_ptr<ReplacementFile> CreateReplacementFile(const char* path,
                                                       Durability durability = Durability::Flushed);

}  // namespace pk::platform
