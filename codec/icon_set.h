// The in-memory icon record: one icon (an .ico file's contents or one
// group-icon resource of a module) with every image's bytes exactly as the
// file or resource stores them.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/bytes.h"
#include "base/dib_layout.h"
#include "base/result.h"
#include "platform/icon.h"

namespace pk {

inline constexpr size_t kMaxPath = 260;  // MAX_PATH, terminator included

enum class ImageFormat {
  Dib,  // BITMAPINFOHEADER (doubled height), colour table, colour rows, mask rows
  Png,  // a PNG stream, kept byte for byte
};

// One image of an icon. Moving it keeps the pointers valid (they point into
// the heap block that `data` owns); it cannot be copied.
struct IconSetImage {
  int32_t width = 0;      // biWidth (PNG: IHDR width)
  int32_t height = 0;     // biHeight / 2, truncated (PNG: IHDR height)
  uint32_t bitCount = 0;  // biPlanes x biBitCount (PNG: depth x channels)
  std::unique_ptr<uint8_t[]> data;
  uint32_t dataSize = 0;
  ImageFormat format = ImageFormat::Dib;
  // Derived by BindIconImage; null for PNG images, which have no DIB layout.
  uint8_t* header = nullptr;   // the BITMAPINFOHEADER at the start of data
  uint8_t* xorBits = nullptr;  // the colour rows
  uint8_t* andBits = nullptr;  // the mask rows (of a 32-bit image, missing or short at times)

  IconSetImage() = default;
  IconSetImage(IconSetImage&&) = default;
  IconSetImage& operator=(IconSetImage&&) = default;

  Bytes bytes() const { return Bytes(data.get(), dataSize); }
  // The parsed header of a bound DIB image.
  BitmapInfoHeader Header() const;
  // Replaces the image's bytes with a copy of `bytes` (unbound); false when
  // the memory cannot be had, leaving the image without data.
  bool AssignData(Bytes bytes);
  void ReleaseData();
};

struct IconSet {
  char iconFilePath[kMaxPath] = {};
  char moduleFilePath[kMaxPath] = {};
  uint32_t imageCount = 0;
  // Room for the images; images.size() is the number of entries the record was
  // made for, imageCount how many of them hold an image.
  std::vector<IconSetImage> images;
};

// A record with room for `room` images, imageCount 0; none when the memory
// cannot be had.
std::unique_ptr<IconSet> NewIconSet(uint32_t room);

// Copies a path into a record's path field, keeping at most 259 bytes and the
// terminator: the field is a label, the file itself is opened by its full path.
// A longer path (UTF-8) is cut before the character that would not fit whole.
void SetRecordPath(char (&field)[kMaxPath], std::string_view path);

// Why an image's bytes cannot be bound.
enum class ImageFault {
  NoImage,       // no image, or no bytes
  HeaderSize,    // biSize below 40 or beyond the image's bytes
  NegativeSize,  // a negative width or height
  RowTooLong,    // the row length overflows the format's arithmetic
  PartsOutside,  // colour table, colour rows and mask do not fit the bytes (a
                 // 32-bit image's mask may be missing or short)
  PngHeader,     // a PNG stream whose IHDR cannot describe it
};

// Fills header, width, height, bitCount, xorBits and andBits from data. Fails
// when there is no image, or when its parts (header, colour table, colour rows,
// mask rows) do not fit in dataSize bytes; a 32-bit image is taken without its
// mask or with part of it, as the system takes it. A PNG image is described
// from its IHDR and gets no DIB pointers.
Status<ImageFault> BindIconImage(IconSetImage* image);

// A displayable icon of the image at its own size, falling back to the
// default icon size except for 16-bit images; none when both are refused.
platform::IconHandle IconHandleFromImage(const IconSetImage* image);

}  // namespace pk
