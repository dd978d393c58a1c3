// Random access to the bytes of a file without reading all of it.
//
// The module readers ask only for the headers, the section table, the resource
// tables and the resources themselves, so a large module costs the bytes of its
// resources, not its whole length.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "base/bytes.h"

namespace pk::portable {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly `length` bytes at `offset` (pread); false when they are not
  // all there or the read fails.
  virtual bool ReadAt(uint64_t offset, void* out, size_t length) = 0;

  // A bounded read into a fresh buffer; none when the range is not in the file.
  bool ReadRange(uint64_t offset, uint64_t length, std::vector<uint8_t>* out) {
    if (!RangeFits(offset, length, Size())) return false;
    out->resize(size_t(length));
    return length == 0 || ReadAt(offset, out->data(), size_t(length));
  }
};

// Bytes already in memory (tests, fuzzing).
class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(Bytes bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, void* out, size_t length) override {
    if (!RangeFits(offset, length, bytes_.size())) return false;
    if (length) std::memcpy(out, bytes_.data() + offset, length);
    return true;
  }

 private:
  Bytes bytes_;
};

}  // namespace pk::portable
