// Bitmap files (.bmp): the 14-byte BITMAPFILEHEADER, a 40-byte
// BITMAPINFOHEADER, the colour table and the rows of an uncompressed,
// bottom-up picture.
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
  OpenFailed,         // the file cannot be opened
  FileHeaderShort,    // fewer than 14 bytes
  NotBitmap,          // no "BM", or reserved words not 0
  InfoAlloc,          // no memory for the info header
  InfoHeaderShort,    // the 40-byte info header is cut short
  NotInfoHeader,      // a header of another length (OS/2 and later layouts)
  TopDownOrEmpty,     // a negative or zero width or height
  ColorTableOutside,  // the colour table runs past the end of the file
  OffsetNegative,     // bfOffBits of 2 GiB or more: a negative position
  RowTooLong,         // a row length that overflows the format's arithmetic
  RowsOutside,        // the rows run past the end of the file
  PixelAlloc,         // no memory for the picture
  ColorTableShort,    // the colour table read short
  SeekFailed,         // the move to the rows failed
  RowsShort,          // the rows read short
};

// The program's message for a refusal.
const char* BmpFaultMessage(BmpFault fault);

// Reads a bitmap file from `file` (see LoadBmpFile). Shows nothing.
Result<PackedDib, BmpFault> ReadBmpFile(platform::File& file);

// Reads a bitmap file into a packed DIB: the info header and colour table as
// read, then DibRowStride x biHeight bytes of rows at DibPixelStart. Empty
// after a failure it has already shown (no owner window, the path as caption).
// Only 40-byte headers are read; a top-down or empty picture, and one whose
// colour table or rows lie beyond the end of the file, are refused before
// anything is allocated for them.
PackedDib LoadBmpFile(const char* path);

// Writes the colour picture of an icon image as a bitmap file. `image` holds
// the image's bytes from its header on (doubled biHeight, colour table, colour
// rows, mask); the file gets the header with the true height, the colour
// table and the colour rows, and no mask. A failure is shown (no owner window,
// the path as caption) and leaves any existing file of that name as it was.
// The image is not changed.
bool SaveBmpFile(const char* path, Bytes image);

}  // namespace pk
