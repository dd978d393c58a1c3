// Packed DIBs: a BITMAPINFOHEADER, its colour table of RGBQUADs and the pixel
// rows, bottom row first, each padded to whole 32-bit words. Little-endian.
#pragma once

#include <cstdint>
#include <optional>

#include "base/bytes.h"

namespace pk {

inline constexpr uint32_t kBitmapInfoHeaderSize = 40;

// The fields of a BITMAPINFOHEADER, read from bytes (never by casting a pointer).
struct BitmapInfoHeader {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;

  // The 40 bytes at the start of `bytes`; none when there are fewer.
  static std::optional<BitmapInfoHeader> Read(Bytes bytes);
  // Writes the 40 bytes of the header to `out` (which must hold 40).
  void Write(uint8_t* out) const;
};

// Byte offsets of fields inside the header, for in-place edits.
inline constexpr size_t kBiHeightOffset = 8;
inline constexpr size_t kBiSizeImageOffset = 20;

// Colour-table entries: biClrUsed when set, else 2/16/256 for 1/4/8 bits, else 0.
uint32_t DibColorCount(const BitmapInfoHeader& h);
// DibColorCount x 4 kept in 16 bits, as the program has always placed pixel rows.
uint16_t DibColorTableSize(const BitmapInfoHeader& h);
// Bytes per pixel row, rounded up to whole 32-bit words (signed 32-bit arithmetic).
int32_t DibRowStride(const BitmapInfoHeader& h);
// Offset of the pixel rows from the header's start: biSize + DibColorTableSize.
uint64_t DibPixelStart(const BitmapInfoHeader& h);

// Bytes per row of a 1-bit mask `width` pixels wide.
inline uint32_t MaskRowStride(int32_t width) {
  return uint32_t(((int64_t(width) + 31) / 32) * 4);
}

}  // namespace pk
