// Checked access to untrusted bytes.
//
// Every parser in Pixelkite reads file and resource bytes through these
// helpers: ranges are checked with integers in subtraction form (never with
// pointer arithmetic that could overflow), and sizes are computed with
// helpers that report overflow instead of wrapping.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace pk {

using Bytes = std::span<const uint8_t>;
using MutableBytes = std::span<uint8_t>;

// True when [offset, offset + length) lies inside a buffer of `size` bytes.
constexpr bool RangeFits(uint64_t offset, uint64_t length, uint64_t size) {
  return offset <= size && length <= size - offset;
}

// Overflow-reporting arithmetic on unsigned 64-bit sizes.
constexpr std::optional<uint64_t> CheckedAdd(uint64_t a, uint64_t b) {
  uint64_t r;
  if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
  return r;
}
constexpr std::optional<uint64_t> CheckedMul(uint64_t a, uint64_t b) {
  uint64_t r;
  if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
  return r;
}

// Raw little-endian loads and stores. Parsers never call the loads on bytes
// they were given: they read through ByteReader or ByteCursor below, which
// check every range first. The stores serve writers of our own layouts.
inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t LoadU32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t LoadI32(const uint8_t* p) { return static_cast<int32_t>(LoadU32(p)); }
inline uint32_t LoadU32Be(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void StoreU16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void StoreI32(uint8_t* p, int32_t v) { StoreU32(p, static_cast<uint32_t>(v)); }

// CRC-32 (ISO 3309, as PNG chunks use it).
inline uint32_t Crc32(Bytes bytes, uint32_t crc = 0) {
  crc = ~crc;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// A bounded little-endian reader over a byte span. Reads past the end yield
// nullopt and leave the reader where it was; nothing ever reads outside the span.
class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(Bytes bytes) : bytes_(bytes) {}

  size_t size() const { return bytes_.size(); }
  Bytes bytes() const { return bytes_; }

  std::optional<uint8_t> U8(size_t offset) const {
    if (!RangeFits(offset, 1, bytes_.size())) return std::nullopt;
    return bytes_[offset];
  }
  std::optional<uint16_t> U16(size_t offset) const {
    if (!RangeFits(offset, 2, bytes_.size())) return std::nullopt;
    return LoadU16(bytes_.data() + offset);
  }
  std::optional<uint32_t> U32(size_t offset) const {
    if (!RangeFits(offset, 4, bytes_.size())) return std::nullopt;
    return LoadU32(bytes_.data() + offset);
  }
  std::optional<int32_t> I32(size_t offset) const {
    auto v = U32(offset);
    if (!v) return std::nullopt;
    return static_cast<int32_t>(*v);
  }
  std::optional<uint32_t> U32Be(size_t offset) const {
    if (!RangeFits(offset, 4, bytes_.size())) return std::nullopt;
    return LoadU32Be(bytes_.data() + offset);
  }
  // The sub-span [offset, offset + length), or nullopt when it does not fit.
  std::optional<Bytes> Sub(uint64_t offset, uint64_t length) const {
    if (!RangeFits(offset, length, bytes_.size())) return std::nullopt;
    return bytes_.subspan(size_t(offset), size_t(length));
  }

 private:
  Bytes bytes_;
};

// Reads the fields of a structure one after another. A read that does not fit
// gives 0 and marks the cursor failed, so a structure is read whole and
// checked once (`ok()`) instead of field by field.
class ByteCursor {
 public:
  explicit ByteCursor(Bytes bytes, size_t at = 0) : reader_(bytes), at_(at) {}

  uint8_t U8() { return Next(reader_.U8(at_), 1); }
  uint16_t U16() { return Next(reader_.U16(at_), 2); }
  uint32_t U32() { return Next(reader_.U32(at_), 4); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint32_t U32Be() { return Next(reader_.U32Be(at_), 4); }
  // The next `length` bytes; empty (and failed) when they are not all there.
  Bytes Take(uint64_t length) {
    auto sub = reader_.Sub(at_, length);
    if (!sub) {
      ok_ = false;
      return {};
    }
    at_ += size_t(length);
    return *sub;
  }
  void Skip(uint64_t length) { (void)Take(length); }
  void Seek(size_t at) { at_ = at; }

  size_t position() const { return at_; }
  bool ok() const { return ok_; }

 private:
  template <typename T>
  T Next(std::optional<T> value, size_t width) {
    if (!value) {
      ok_ = false;
      return 0;
    }
    at_ += width;
    return *value;
  }

  ByteReader reader_;
  size_t at_;
  bool ok_ = true;
};

}  // namespace pk
