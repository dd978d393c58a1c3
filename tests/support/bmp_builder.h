// Builders for packed DIBs and bitmap files, so a test can say exactly what
// its picture holds and what is odd about its file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "tests/support/ico_builder.h"

namespace pk::test {

// A picture for a DIB: size, depth, colour table (0xRRGGBB each) and a raw
// pixel value per (x, y), y counted from the top row.
struct DibPicture {
  int32_t width = 1;
  int32_t height = 1;
  uint16_t bitCount = 24;
  std::vector<uint32_t> colors;  // written as the colour table
  std::function<uint32_t(int32_t x, int32_t y)> pixel = [](int32_t, int32_t) { return 0u; };
  uint32_t clrUsed = 0;
  uint32_t compression = 0;
  uint16_t planes = 1;
  uint32_t headerSize = 40;
  std::optional<int32_t> heightField;  // biHeight as written (default: height)
  int32_t xPelsPerMeter = 0;
  uint32_t clrImportant = 0;
  bool topDown = false;          // rows stored top first, biHeight negative
  std::vector<uint32_t> masks;   // bit fields: inside a longer header, else behind it
  std::optional<ByteVector> stream;  // encoded rows in place of the rows (biSizeImage its length)
};

inline uint32_t StrideOf(int32_t width, uint16_t bitCount) {
  return ((uint32_t(width) * bitCount + 31) / 32) * 4;
}

// Bytes in front of the colour table: the header, and the masks behind a
// 40-byte one.
inline size_t HeaderBytesOf(const DibPicture& p) {
  return std::max<size_t>(p.headerSize, p.headerSize == 40 ? 40 + 4 * p.masks.size() : 0);
}

// The header, the masks, the colour table, then the rows (bottom first unless
// top-down) or the encoded stream.
inline ByteVector PackedDibOf(const DibPicture& p) {
  ByteVector v;
  PutU32(v, p.headerSize);
  PutU32(v, uint32_t(p.width));
  PutU32(v, uint32_t(p.heightField ? *p.heightField : p.topDown ? -p.height : p.height));
  PutU16(v, p.planes);
  PutU16(v, p.bitCount);
  PutU32(v, p.compression);
  PutU32(v, p.stream ? uint32_t(p.stream->size()) : 0);
  PutU32(v, uint32_t(p.xPelsPerMeter));
  PutU32(v, uint32_t(p.xPelsPerMeter));
  PutU32(v, p.clrUsed);
  PutU32(v, p.clrImportant);
  for (uint32_t m : p.masks) PutU32(v, m);
  while (v.size() < p.headerSize) v.push_back(0);
  for (uint32_t c : p.colors) {
    v.push_back(uint8_t(c));
    v.push_back(uint8_t(c >> 8));
    v.push_back(uint8_t(c >> 16));
    v.push_back(0);
  }
  if (p.stream) {
    v.insert(v.end(), p.stream->begin(), p.stream->end());
    return v;
  }
  uint32_t stride = StrideOf(p.width, p.bitCount);
  for (int32_t at = 0; at < p.height; ++at) {
    const int32_t y = p.topDown ? at : p.height - 1 - at;
    ByteVector row(stride, 0);
    for (int32_t x = 0; x < p.width; ++x) {
      uint32_t value = p.pixel(x, y);
      switch (p.bitCount) {
        case 1: row[size_t(x) / 8] |= uint8_t((value & 1) << (7 - x % 8)); break;
        case 4: row[size_t(x) / 2] |= uint8_t((value & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[size_t(x)] = uint8_t(value); break;
        case 16: row[2 * size_t(x)] = uint8_t(value); row[2 * size_t(x) + 1] = uint8_t(value >> 8); break;
        case 24:
          for (int k = 0; k < 3; ++k) row[3 * size_t(x) + k] = uint8_t(value >> (8 * k));
          break;
        case 32:
          for (int k = 0; k < 4; ++k) row[4 * size_t(x) + k] = uint8_t(value >> (8 * k));
          break;
        default: break;
      }
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

// What is odd about a bitmap file around its DIB.
struct BmpFileOptions {
  uint16_t type = 0x4D42;
  uint16_t reserved1 = 0;
  uint16_t reserved2 = 0;
  std::optional<uint32_t> offBits;  // default: right behind the colour table (plus the gap)
  uint32_t gap = 0;                 // bytes between the colour table and the rows
  size_t cut = 0;                   // bytes cut off the end of the file
};

// A bitmap file: BITMAPFILEHEADER, then the DIB with `gap` bytes before its rows.
inline ByteVector BmpFileOf(const DibPicture& p, BmpFileOptions o = {}) {
  ByteVector dib = PackedDibOf(p);
  size_t pixelStart = HeaderBytesOf(p) + p.colors.size() * 4;
  ByteVector v;
  PutU16(v, o.type);
  PutU32(v, uint32_t(14 + dib.size() + o.gap));
  PutU16(v, o.reserved1);
  PutU16(v, o.reserved2);
  PutU32(v, o.offBits ? *o.offBits : uint32_t(14 + pixelStart + o.gap));
  v.insert(v.end(), dib.begin(), dib.begin() + long(pixelStart));
  v.insert(v.end(), o.gap, 0xEE);
  v.insert(v.end(), dib.begin() + long(pixelStart), dib.end());
  v.resize(v.size() - std::min(o.cut, v.size()));
  return v;
}

// A picture whose pixels are all distinct enough to show where each came from.
inline DibPicture Gradient(int32_t width, int32_t height, uint16_t bitCount) {
  DibPicture p;
  p.width = width;
  p.height = height;
  p.bitCount = bitCount;
  if (bitCount <= 8) {
    for (uint32_t i = 0; i < (1u << bitCount); ++i) p.colors.push_back((i * 0x3B1F37u) & 0xFFFFFF);
    p.pixel = [bitCount](int32_t x, int32_t y) { return uint32_t(x * 3 + y * 5) % (1u << bitCount); };
  } else {
    p.pixel = [](int32_t x, int32_t y) {
      return uint32_t((x * 37) & 0xFF) << 16 | uint32_t((y * 23) & 0xFF) << 8 | uint32_t((x * y + 11) & 0xFF) |
             uint32_t((x + y) & 0xFF) << 24;
    };
  }
  return p;
}

// An RLE8 or RLE4 stream written code by code.
class RleStream {
 public:
  // `count` pixels of `value` (at 4 bits, its two nibbles alternating).
  RleStream& Run(uint8_t count, uint8_t value) { return Put({count, value}); }
  // Pixels stored as they are: bytes at 8 bits, nibble pairs at 4; padded to
  // a whole 16-bit word.
  RleStream& Literal(uint8_t count, const ByteVector& data) {
    Put({0, count});
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    if (data.size() % 2) bytes_.push_back(0);
    return *this;
  }
  RleStream& EndOfLine() { return Put({0, 0}); }
  RleStream& EndOfBitmap() { return Put({0, 1}); }
  RleStream& Delta(uint8_t right, uint8_t up) { return Put({0, 2, right, up}); }
  RleStream& Raw(const ByteVector& data) { return Put(data); }
  ByteVector bytes() const { return bytes_; }

 private:
  RleStream& Put(const ByteVector& data) {
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  ByteVector bytes_;
};

// The picture's pixels (indices) as an RLE8 or RLE4 stream of runs, one row
// after another from the bottom, each closed by an end of line, and an end of
// bitmap: what an ordinary encoder writes.
inline ByteVector RleEncoded(const DibPicture& p) {
  RleStream s;
  for (int32_t y = p.height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < p.width;) {
      const uint32_t v = p.pixel(x, y);
      int32_t n = 1;
      if (p.bitCount == 8) {
        while (x + n < p.width && n < 255 && p.pixel(x + n, y) == v) ++n;
        s.Run(uint8_t(n), uint8_t(v));
      } else {
        // Pairs of pixels repeat at 4 bits.
        const uint32_t w = x + 1 < p.width ? p.pixel(x + 1, y) : 0;
        n = x + 1 < p.width ? 2 : 1;
        while (x + n < p.width && n < 254 && p.pixel(x + n, y) == (n % 2 ? w : v)) ++n;
        s.Run(uint8_t(n), uint8_t((v & 15) << 4 | (w & 15)));
      }
      x += n;
    }
    s.EndOfLine();
  }
  return s.EndOfBitmap().bytes();
}

}  // namespace pk::test
