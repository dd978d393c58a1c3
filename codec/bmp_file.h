// Bitmap files (.bmp): the 14-byte BITMAPFILEHEADER, a 40-byte
// BITMAPINFOHEADER, the colour table and the rows of an uncompressed,
// bottom-up picture.
#pragma once

#include <cstdint>

#include "base/bytes.h"
#include "codec/packed_dib.h"

namespace pk {

inline constexpr uint32_t kBitmapFileHeaderSize = 14;
inline constexpr uint16_t kBitmapFileType = 0x4D42;  // "BM"

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
// table and the colour rows, and no mask. A failure leaves any existing file
// of that name as it was. The image is not changed.
bool SaveBmpFile(const char* path, Bytes image);

}  // namespace pk
