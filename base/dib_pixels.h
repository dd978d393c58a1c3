// Pixels inside DIB rows: reading and writing one pixel's value at 1, 4, 8,
// 16, 24 or 32 bits, and the colour a value stands for. The icon decoder and
// the bitmap drawing engine both unpack pixels through these.
#pragma once

#include <cstdint>

#include "base/bytes.h"

namespace pk {

struct DibColor {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t extra = 0;  // the fourth byte of a 32-bit pixel (alpha in icon images)
  friend bool operator==(const DibColor&, const DibColor&) = default;
};

namespace detail {
// Where pixel x starts in its row and how many bytes it touches.
inline uint64_t PixelByte(int32_t x, uint32_t bits) { return uint64_t(uint32_t(x)) * bits / 8; }
inline uint32_t PixelWidth(uint32_t bits) { return bits < 8 ? 1 : bits / 8; }
}  // namespace detail

// The value of pixel x of a row: a colour-table index up to 8 bits per pixel,
// the packed colour above. Pixels are numbered from the left; within a byte
// the leftmost pixel takes the high bits. 0 for a pixel the row does not hold.
inline uint32_t ReadDibPixel(Bytes row, int32_t x, uint32_t bits) {
  const uint64_t at = detail::PixelByte(x, bits);
  if (x < 0 || !RangeFits(at, detail::PixelWidth(bits), row.size())) return 0;
  const uint8_t* p = row.data() + at;
  switch (bits) {
    case 1: return (*p >> (7 - (x & 7))) & 1u;
    case 4: return (*p >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8: return *p;
    case 16: return LoadU16(p);
    case 24: return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    case 32: return LoadU32(p);
    default: return 0;
  }
}

// Sets pixel x of a row to `value` (see ReadDibPixel); a pixel the row does
// not hold is left alone.
inline void WriteDibPixel(MutableBytes row, int32_t x, uint32_t bits, uint32_t value) {
  const uint64_t at = detail::PixelByte(x, bits);
  if (x < 0 || !RangeFits(at, detail::PixelWidth(bits), row.size())) return;
  uint8_t* p = row.data() + at;
  switch (bits) {
    case 1: {
      const uint8_t bit = uint8_t(0x80u >> (x & 7));
      *p = uint8_t((*p & ~bit) | (value ? bit : 0));
      break;
    }
    case 4:
      *p = (x & 1) ? uint8_t((*p & 0xF0) | (value & 0x0F)) : uint8_t((*p & 0x0F) | ((value & 0x0F) << 4));
      break;
    case 8: *p = uint8_t(value); break;
    case 16: StoreU16(p, uint16_t(value)); break;
    case 24:
      p[0] = uint8_t(value);
      p[1] = uint8_t(value >> 8);
      p[2] = uint8_t(value >> 16);
      break;
    case 32: StoreU32(p, value); break;
    default: break;
  }
}

// The colour of a direct-colour pixel value. Uncompressed 16-bit pixels are
// X1R5G5B5, each 5-bit channel widened to 8 bits by repeating its top bits;
// 24 and 32 bits are blue, green, red (and the fourth byte).
inline DibColor DirectDibColor(uint32_t pixel, uint32_t bits) {
  if (bits == 16) {
    auto widen = [](uint32_t v) { return uint8_t((v << 3) | (v >> 2)); };
    return {widen((pixel >> 10) & 31), widen((pixel >> 5) & 31), widen(pixel & 31), 0};
  }
  return {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel), uint8_t(pixel >> 24)};
}

// Colour-table entry `index` of a table of RGBQUADs; black for an index the
// table does not have, as the system draws such pixels.
inline DibColor TableDibColor(Bytes table, uint32_t index) {
  if (!RangeFits(uint64_t(index) * 4, 4, table.size())) return {};
  const uint8_t* q = table.data() + size_t(index) * 4;
  return {q[2], q[1], q[0], 0};
}

}  // namespace pk
