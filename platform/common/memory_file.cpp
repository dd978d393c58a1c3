// A file over bytes in memory, for readers handed bytes rather than a path.
#include <algorithm>
#include <cstring>

#include "platform/file.h"

namespace pk::platform {

bool MemoryFile::Read(void* buffer, uint32_t count, uint32_t* done) {
  // A position past the end (a seek may put it there) reads nothing.
  const uint64_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
  *done = uint32_t(std::min<uint64_t>(count, left));
  if (*done > 0) std::memcpy(buffer, bytes_.data() + position_, *done);
  position_ += *done;
  return true;
}

bool MemoryFile::Write(const void*, uint32_t, uint32_t* done) {
  *done = 0;
  return false;
}

bool MemoryFile::SeekFromStart(int32_t offset) {
  if (offset < 0) return false;
  position_ = uint64_t(offset);
  return true;
}

}  // namespace pk::platform
