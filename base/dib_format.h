// What a DIB's header says about its pixels, for every header kind Windows
// writes: the 40-byte BITMAPINFOHEADER, the 52- and 56-byte ones that carry
// their colour masks, BITMAPV4HEADER (108) and BITMAPV5HEADER (124). Rows
// bottom-up or top-down; uncompressed, bit fields, or run-length encoded.
// The bitmap reader, the conversion and both drawing backends read headers
// through here, so they agree on what a picture is.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "base/dib_layout.h"
#include "base/result.h"

namespace pk {

// biCompression values.
inline constexpr uint32_t kBiRle8 = 1;
inline constexpr uint32_t kBiRle4 = 2;
inline constexpr uint32_t kBiBitfields = 3;
inline constexpr uint32_t kBiJpeg = 4;
inline constexpr uint32_t kBiPng = 5;

inline constexpr uint32_t kBitmapV4HeaderSize = 108;
inline constexpr uint32_t kBitmapV5HeaderSize = 124;
// The colour masks follow the first 40 bytes in every header kind: inside the
// longer headers, right behind a 40-byte one.
inline constexpr uint32_t kDibMasksOffset = 40;
inline constexpr uint32_t kDibMasksSize = 12;  // red, green, blue
inline constexpr uint32_t kDibAlphaMaskOffset = 52;
// bV4CSType of the V4 header handed to the drawing ('sRGB').
inline constexpr uint32_t kLcsSrgb = 0x73524742;

// Run-length encoded pictures expand far beyond their bytes; their rows are
// never made larger than this.
inline constexpr uint64_t kMaxDecodedDibBytes = uint64_t(256) << 20;

// What a header's length says it is.
enum class DibHeaderKind {
  Windows,  // 40, 52, 56, 108 or 124 bytes
  Os2,      // 12 (OS/2 1.x), 16 or 64 (OS/2 2.x)
  Unknown,
};
DibHeaderKind ClassifyDibHeader(uint32_t headerSize);

// Bytes of header a picture takes before its colour table: the header, and
// for a 40-byte header with bit fields the 12 bytes of masks behind it. The
// 40 bytes must be at the start of `header`.
uint32_t DibHeaderBytes(const BitmapInfoHeader& h);

// Why a header describes no picture that is read.
enum class DibFormatFault {
  HeaderShort,         // the bytes end inside the header or its masks
  Os2Header,           // an OS/2 header
  UnknownHeader,       // a length no header kind has
  BadSize,             // width not positive, height 0 or -2^31
  Planes,              // biPlanes not 1
  DepthUnsupported,    // 2 or 64 bits per pixel
  DepthInvalid,        // any other depth but 1, 4, 8, 16, 24, 32
  Jpeg,                // a JPEG picture inside
  Png,                 // a PNG picture inside
  CompressionUnknown,  // a compression value no Windows bitmap has
  CompressionDepth,    // RLE8 not at 8 bits, RLE4 not at 4, bit fields not at 16 or 32
  TopDownCompressed,   // run-length encoded rows stored top row first
  MasksInvalid,        // a colour mask empty, split, overlapping another or beyond the pixel
  RowTooLong,          // a row length beyond the format's 32-bit arithmetic
  TooLarge,            // encoded rows that would expand beyond kMaxDecodedDibBytes
};

// The colour masks of a bit-field picture; alpha 0 when there is none.
struct DibMasks {
  uint32_t red = 0;
  uint32_t green = 0;
  uint32_t blue = 0;
  uint32_t alpha = 0;
};

// A picture as its header describes it.
struct DibFormat {
  BitmapInfoHeader header;
  int32_t width = 0;
  int32_t height = 0;  // rows, always positive
  bool topDown = false;
  uint32_t bitCount = 0;
  uint32_t compression = 0;
  DibMasks masks;           // bit fields only
  uint32_t stride = 0;      // bytes per uncompressed row
  uint32_t tableOffset = 0;  // where the colour table starts, from the header's start
  // Entries the header places in the table: biClrUsed (or 2, 16, 256 for 1,
  // 4, 8 bits when 0), never more than 256, as the system sizes the table.
  uint32_t tableEntries = 0;

  bool Compressed() const { return compression == kBiRle8 || compression == kBiRle4; }
  bool BitFields() const { return compression == kBiBitfields; }
  // Whether the rows are plain: uncompressed, bottom row first, no masks.
  bool Plain() const { return compression == kBiRgb && !topDown; }
  // Table entries that pixels can reach: up to 2^bits.
  uint32_t ColorsUsed() const;
  uint64_t TableEnd() const { return tableOffset + uint64_t(tableEntries) * 4; }
  // Bytes of the rows once decoded: stride x height.
  uint64_t RowBytes() const { return uint64_t(stride) * uint32_t(height); }
};

// Reads the header at the start of `header` (which must hold DibHeaderBytes)
// and checks that it describes a picture: one plane of 1, 4, 8, 16, 24 or 32
// bits, compression that fits the depth, valid masks, rows whose length the
// format's arithmetic can hold.
Result<DibFormat, DibFormatFault> ReadDibFormat(Bytes header);

// The header and colour table of the plain picture `info` (which holds the
// header of `f` and its table) is drawn from: a 40-byte BI_RGB header of the
// same size, bottom-up, at the same depth (32 bits for bit fields), and the
// whole table of that depth, entries the header does not give black. Empty
// when the table runs past the end of `info`.
std::vector<uint8_t> PlainDibInfo(const DibFormat& f, Bytes info);

// The 8-bit value of the channel `mask` (a run of set bits, or 0) selects in
// `pixel`: its top eight bits, a narrower field moved to the top and repeated
// once below itself, as GDI widens bit fields (5 bits v: v << 3 | v >> 2).
inline uint8_t MaskedChannel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int length = std::popcount(mask);
  const uint32_t field = (pixel & mask) >> shift;
  if (length >= 8) return uint8_t(field >> (length - 8));
  const uint32_t top = field << (8 - length);
  return uint8_t(top | (top >> length));
}

// A bit-field pixel as a 32-bit BI_RGB one (blue, green, red, fourth byte), as
// GDI draws it into such a bitmap: the standard 32-bit masks copy the whole
// pixel, fourth byte included; any other layout widens each channel and
// leaves the fourth byte 0. An alpha mask puts its channel there.
inline uint32_t BitFieldPixelTo32(uint32_t pixel, uint32_t bitCount, const DibMasks& m) {
  uint32_t out;
  if (bitCount == 32 && m.red == 0xFF0000 && m.green == 0xFF00 && m.blue == 0xFF) {
    out = pixel;
  } else {
    out = uint32_t(MaskedChannel(pixel, m.red)) << 16 | uint32_t(MaskedChannel(pixel, m.green)) << 8 |
          MaskedChannel(pixel, m.blue);
  }
  if (m.alpha != 0) out = (out & 0xFFFFFFu) | uint32_t(MaskedChannel(pixel, m.alpha)) << 24;
  return out;
}

}  // namespace pk
