// Builders that make icon images and .ico files in code, so each test says
// exactly what is odd about its input.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "base/bytes.h"

namespace pk::test {

using ByteVector = std::vector<uint8_t>;

inline void PutU16(ByteVector& v, uint16_t x) {
  v.push_back(uint8_t(x));
  v.push_back(uint8_t(x >> 8));
}
inline void PutU32(ByteVector& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
inline void PutU32Be(ByteVector& v, uint32_t x) {
  for (int i = 3; i >= 0; --i) v.push_back(uint8_t(x >> (8 * i)));
}

struct DibOptions {
  uint32_t clrUsed = 0;
  uint32_t sizeImage = 0;
  int32_t heightField = 0;  // 0: twice the height
  uint16_t planes = 1;
  bool withMask = true;
  std::optional<uint32_t> tableEntries;  // entries actually written (default: what the header implies)
};

// An icon image in the DIB layout: header (doubled height), colour table,
// colour rows, mask rows. Pixels follow a simple pattern so images differ.
inline ByteVector DibImage(int32_t width, int32_t height, uint16_t bitCount, DibOptions o = {}) {
  ByteVector v;
  PutU32(v, 40);
  PutU32(v, uint32_t(width));
  PutU32(v, uint32_t(o.heightField ? o.heightField : height * 2));
  PutU16(v, o.planes);
  PutU16(v, bitCount);
  PutU32(v, 0);
  PutU32(v, o.sizeImage);
  PutU32(v, 0);
  PutU32(v, 0);
  PutU32(v, o.clrUsed);
  PutU32(v, 0);
  uint32_t colors = o.clrUsed ? o.clrUsed : (bitCount == 1 ? 2 : bitCount == 4 ? 16 : bitCount == 8 ? 256 : 0);
  if (o.tableEntries) colors = *o.tableEntries;
  for (uint32_t i = 0; i < colors; ++i) {
    v.push_back(uint8_t(i * 37));
    v.push_back(uint8_t(i * 91));
    v.push_back(uint8_t(i * 13 + 5));
    v.push_back(0);
  }
  uint32_t stride = ((uint32_t(width) * bitCount * o.planes + 31) / 32) * 4;
  for (int32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < stride; ++x) v.push_back(uint8_t((x * 7 + uint32_t(y) * 3 + bitCount) & 0xFF));
  if (o.withMask) {
    uint32_t maskStride = ((uint32_t(width) + 31) / 32) * 4;
    for (int32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < maskStride; ++x) v.push_back(uint8_t(y & 1 ? 0x0F : 0x00));
  }
  return v;
}


// A real RGBA PNG (stored deflate blocks), pixel (x, y) = pixel(x, y) as 0xAARRGGBB.
template <typename PixelFn>
ByteVector PngImageOf(uint32_t width, uint32_t height, PixelFn pixel) {
  ByteVector raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t c = pixel(x, y);
      raw.push_back(uint8_t(c >> 16));
      raw.push_back(uint8_t(c >> 8));
      raw.push_back(uint8_t(c));
      raw.push_back(uint8_t(c >> 24));
    }
  }
  ByteVector z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    PutU16(z, uint16_t(n));
    PutU16(z, uint16_t(~n));
    z.insert(z.end(), raw.begin() + long(pos), raw.begin() + long(pos + n));
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutU32Be(z, (b << 16) | a);

  ByteVector png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  auto chunk = [&](const char* type, const ByteVector& body) {
    PutU32Be(png, uint32_t(body.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), body.begin(), body.end());
    PutU32Be(png, pk::Crc32(Bytes(png.data() + start, png.size() - start)));
  };
  ByteVector ihdr;
  PutU32Be(ihdr, width);
  PutU32Be(ihdr, height);
  ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
  chunk("IHDR", ihdr);
  chunk("IDAT", z);
  chunk("IEND", {});
  return png;
}

inline ByteVector PngImage(uint32_t width, uint32_t height) {
  return PngImageOf(width, height, [](uint32_t x, uint32_t y) {
    return 0x80000000u | ((x * 5) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | ((x + y) & 0xFF);
  });
}

// An .ico file: header, 16-byte entries, images back to back. Fields can be
// overridden per entry to make malformed files.
class IcoBuilder {
 public:
  struct Entry {
    ByteVector bytes;
    std::optional<uint32_t> size;    // overrides the entry's byte count
    std::optional<uint32_t> offset;  // overrides the entry's offset
    std::array<uint8_t, 8> fields = {};  // width, height, colours, reserved, planes, bits
  };

  IcoBuilder& Add(ByteVector bytes) {
    entries_.push_back({std::move(bytes), {}, {}, {}});
    return *this;
  }
  IcoBuilder& Size(uint32_t size) { entries_.back().size = size; return *this; }
  IcoBuilder& Offset(uint32_t offset) { entries_.back().offset = offset; return *this; }
  IcoBuilder& Fields(std::array<uint8_t, 8> f) { entries_.back().fields = f; return *this; }
  IcoBuilder& Type(uint16_t type) { type_ = type; return *this; }
  IcoBuilder& Reserved(uint16_t reserved) { reserved_ = reserved; return *this; }
  IcoBuilder& Count(uint16_t count) { count_ = count; return *this; }

  ByteVector Build() const {
    ByteVector v;
    PutU16(v, reserved_);
    PutU16(v, type_);
    PutU16(v, count_ ? *count_ : uint16_t(entries_.size()));
    uint32_t offset = 6 + 16 * uint32_t(entries_.size());
    for (const Entry& e : entries_) {
      v.insert(v.end(), e.fields.begin(), e.fields.end());
      PutU32(v, e.size ? *e.size : uint32_t(e.bytes.size()));
      PutU32(v, e.offset ? *e.offset : offset);
      offset += uint32_t(e.bytes.size());
    }
    for (const Entry& e : entries_) v.insert(v.end(), e.bytes.begin(), e.bytes.end());
    return v;
  }

 private:
  std::vector<Entry> entries_;
  uint16_t type_ = 1;
  uint16_t reserved_ = 0;
  std::optional<uint16_t> count_;
};

}  // namespace pk::test
