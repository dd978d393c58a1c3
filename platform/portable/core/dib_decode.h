// Pictures stored top-down, with bit fields or run-length encoded, made plain
// for the drawing: bottom-up uncompressed rows, as GDI's SetDIBits leaves them
// in a fresh DIB section of that format (the Windows tests compare the two).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "base/bytes.h"
#include "base/dib_format.h"

namespace pk::portable {

struct PlainDib {
  std::vector<uint8_t> info;    // 40-byte BI_RGB header and the full colour table
  std::vector<uint8_t> pixels;  // the rows, bottom first
};

// The plain picture of `info` (a header of any kind ReadDibFormat takes,
// followed by its colour table) and `stored`, its rows or encoded stream:
// the same depth for uncompressed and encoded pictures (a table entry the
// header does not give is black), 32 bits for bit fields. None when the
// header is refused or `stored` is shorter than the rows it describes.
std::optional<PlainDib> DecodeDib(Bytes info, Bytes stored);

// Decodes an RLE8 or RLE4 stream into `rows` (bottom-up, each
// format.stride long, all zero on entry). Runs are cut at the end of their
// row; codes that lead past the last row end the picture. Pixels a delta or
// an early end of line passes over keep their value, and so do pixels after
// the last end of line, delta or end of picture when the stream stops
// without closing them: the system only commits a stretch of a row once one
// of those codes closes it.
void DecodeRle(Bytes stream, const DibFormat& format, MutableBytes rows);

}  // namespace pk::portable
