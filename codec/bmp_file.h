// Bitmap files (.bmp): the 14-byte BITMAPFILEHEADER, then a DIB with any of
// the Windows info headers (40, 52, 56, 108 or 124 bytes), its colour table,
// and its rows: bottom-up or top-down, uncompressed, bit fields or
// run-length encoded.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "base/result.h"
#include "codec/dib.h"
#include "platform/file.h"

namespace pk {

inline constexpr uint32_t kBitmapFileHeaderSize = 14;
inline constexpr uint16_t kBitmapFileType = 0x4D42;  // "BM"

// Why a bitmap file was refused; each reason has the program's message
// (BmpFaultMessage).
enum class BmpFault {
  OpenFailed,          // the file cannot be opened
  FileHeaderShort,     // fewer than 14 bytes
  NotBitmap,           // no "BM", or reserved words not 0
  InfoAlloc,           // no memory for the info header
  InfoHeaderShort,     // the info header (or its masks) is cut short
  NotInfoHeader,       // an OS/2 header (12, 16 or 64 bytes)
  UnknownHeader,       // a header length no kind of header has
  BadSize,             // a width not above 0, a height of 0
  Planes,              // biPlanes not 1
  DepthUnsupported,    // 2 or 64 bits per pixel
  DepthInvalid,        // another depth that no bitmap has
  Jpeg,                // a JPEG picture inside
  Png,                 // a PNG picture inside
  CompressionUnknown,  // a compression no Windows bitmap has
  CompressionDepth,    // a compression the depth does not take
  TopDownCompressed,   // encoded rows stored top row first
  MasksInvalid,        // colour masks that select no channel
  TooLarge,            // encoded rows too large to expand
  ColorTableOutside,   // the colour table runs past the end of the file
  OffsetNegative,      // bfOffBits of 2 GiB or more: a negative position
  RowTooLong,          // a row length that overflows the format's arithmetic
  RowsOutside,         // the rows (or the encoded stream) run past the end of the file
  PixelAlloc,          // no memory for the picture
  ColorTableShort,     // the colour table read short
  SeekFailed,          // a move in the file failed
  RowsShort,           // the rows read short
};

// The program's message for a refusal.
const char* BmpFaultMessage(BmpFault fault);

// Reads a bitmap file from `file` (see LoadBmpFile). Shows nothing.
Result<PackedDib, BmpFault> ReadBmpFile(platform::File& file);

// Reads a bitmap file into a packed DIB: the info header as read (biClrUsed
// set to the entries kept, biSizeImage to the length of an encoded stream),
// a 40-byte header's masks, the colour table entries its pixels can reach,
// then the rows as stored (or the encoded stream) from bfOffBits. Empty after
// a failure it has already shown (no owner window, the path as caption).
// Headers, depths and compressions the picture cannot be drawn from are
// refused with a message naming them, and so are colour tables and rows the
// file does not hold, before anything is allocated for them.
PackedDib LoadBmpFile(const char* path);

// Writes the colour picture of an icon image as a bitmap file. `image` holds
// the image's bytes from its header on (doubled biHeight, colour table, colour
// rows, mask); the file gets the header with the true height, the colour
// table and the colour rows, and no mask. A failure is shown (no owner window,
// the path as caption) and leaves any existing file of that name as it was.
// The image is not changed.
bool SaveBmpFile(const char* path, Bytes image);

}  // namespace pk
