// The layout of a packed DIB: a BITMAPINFOHEADER, its colour table of
// RGBQUADs, the pixel rows (bottom row first, each padded to whole 32-bit
// words) and, for an icon image, the 1-bit mask rows behind them. Every part
// of the program that finds its way in DIB bytes measures them here.
#pragma once

#include <cstdint>
#include <optional>

#include "base/bytes.h"
#include "base/result.h"

namespace pk {

inline constexpr uint32_t kBitmapInfoHeaderSize = 40;
inline constexpr uint32_t kBiRgb = 0;  // biCompression of uncompressed rows

// Byte offsets of fields inside the header, for in-place edits.
inline constexpr size_t kBiHeightOffset = 8;
inline constexpr size_t kBiSizeImageOffset = 20;
inline constexpr size_t kBiClrUsedOffset = 32;

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

// The measuring helpers, with the format's own arithmetic.
// Colour-table entries: biClrUsed when set, else 2/16/256 for 1/4/8 bits, else 0.
uint32_t DibColorCount(const BitmapInfoHeader& h);
// DibColorCount x 4 kept in 16 bits: pixel rows have always been placed
// behind a table of this size, even where a huge biClrUsed wraps it.
uint16_t DibColorTableSize(const BitmapInfoHeader& h);
// Bytes per pixel row (biBitCount x biPlanes x biWidth bits) rounded up to
// whole 32-bit words, in signed 32-bit arithmetic as the format's readers do.
int32_t DibRowStride(const BitmapInfoHeader& h);
// Offset of the pixel rows from the header's start: biSize + DibColorTableSize.
uint64_t DibPixelStart(const BitmapInfoHeader& h);
// Bytes per row of a 1-bit mask `width` pixels wide.
uint32_t MaskRowStride(int32_t width);
// Entries a colour table needs so that every pixel value of the depth has
// one: 2, 16 or 256 up to 8 bits per pixel, none above.
uint32_t DibIndexableColors(uint32_t bitCount);
// Bytes per row of `width` pixels of `bitsPerPixel`, rounded up to whole
// 32-bit words; none when a row would not fit the format's signed 32 bits.
std::optional<uint32_t> DibRowBytes(int64_t width, uint64_t bitsPerPixel);

// Why a header does not describe a layout.
enum class DibFault {
  NegativeSize,  // a negative width, or a negative number of rows
  RowTooLong,    // the row length overflows the format's 32-bit arithmetic
  TooLarge,      // the parts add up beyond what any block can hold
};

// Whether the rows are a plain picture or an icon image, whose header counts
// the colour rows and the mask rows together in a doubled biHeight.
enum class DibRows { Plain, IconWithMask };

// Where the parts of a DIB lie, as offsets from the header's start.
struct DibParts {
  uint64_t colorTable = 0;    // biSize: the table follows the header
  uint32_t colorEntries = 0;  // entries placed there: DibColorTableSize / 4
  uint64_t pixels = 0;        // DibPixelStart
  int32_t width = 0;
  int32_t rows = 0;           // colour rows: biHeight, or biHeight / 2 for an icon
  uint32_t bitsPerPixel = 0;  // biBitCount x biPlanes
  uint32_t stride = 0;        // bytes per colour row
  uint64_t pixelBytes = 0;    // stride x rows
  uint64_t mask = 0;          // offset of the mask rows (icon images)
  uint32_t maskStride = 0;    // 0 for a plain picture
  uint64_t maskBytes = 0;
  uint64_t end = 0;           // one past the last byte the layout needs

  // True when all of it lies inside a block of `size` bytes.
  bool FitsIn(uint64_t size) const { return end <= size; }
};

// Measures the layout `h` describes. The row stride equals DibRowStride
// whenever a layout is returned.
Result<DibParts, DibFault> MeasureDib(const BitmapInfoHeader& h, DibRows rows);

// Whether an icon image measured as `parts` lies inside `size` bytes. The
// system takes a 32-bit image whose mask is missing or cut short (its alpha
// says what shows), so for those the colour rows are enough.
bool IconImageFits(const BitmapInfoHeader& h, const DibParts& parts, uint64_t size);

}  // namespace pk
