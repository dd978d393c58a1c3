// Pictures between icon images and plain bitmaps: a bitmap made into an icon
// image of a chosen size and depth, an image's colour picture written as a
// bitmap file or placed on the clipboard.
#pragma once

#include <cstdint>
#include <memory>

#include "base/bytes.h"
#include "codec/icon_set.h"
#include "codec/dib.h"
#include "platform/icon.h"

namespace pk {

// Replaces the image's bytes with `dib` converted to the image's width,
// height and bitCount (set by the caller), laid out as an icon image with an
// all-opaque mask. Fails without a DIB or when the conversion fails (image
// unchanged), and when the new bytes cannot be had (image left without data).
bool BitmapToIconImage(IconSetImage* image, Bytes dib, bool stretch);

// Reads a bitmap file and makes it into the image as BitmapToIconImage does;
// a file the reader refuses (it has said why) leaves the image unchanged.
bool ImportBmpIcon(const char* path, IconSetImage* image, bool stretch);

// The largest side an icon image has.
inline constexpr int32_t kMaxIconSide = 256;

// The size a picture of width x height takes as an icon image: its own, or
// scaled down to fit 256 x 256 with its aspect ratio kept (no side below 1).
void FitIconImageSize(int32_t width, int32_t height, int32_t* fitWidth, int32_t* fitHeight);

// A new one-image record holding `dib` converted as BitmapToIconImage does to
// width x height at bitCount; none when the conversion fails or memory runs out.
std::unique_ptr<IconSet> BitmapToIconSet(Bytes dib, int32_t width, int32_t height, uint32_t bitCount,
                                         bool stretch);

// Reads a bitmap file into a new one-image record at the bitmap's own depth
// and size (fitted by FitIconImageSize), for when there is no image whose size
// to take. None when the reader refuses the file (it has said why) or the
// conversion fails (silently, as ImportBmpIcon does).
std::unique_ptr<IconSet> ImportBmpIconSet(const char* path);

// Writes the image's colour picture as a bitmap file (no mask). A PNG image
// is written as its decoded 32-bit picture, alpha kept in the fourth byte.
bool ExportImageBmp(const char* path, const IconSetImage& image);

// Places the image's colour picture on the clipboard as CF_DIB: a copy of the
// image's bytes whose header has the true height, the mask left behind the
// rows. A PNG image is placed as its decoded 32-bit picture. The clipboard is
// emptied first, so a failure after opening it leaves it empty.
bool CopyImageToClipboard(const IconSetImage& image);

// A 32-bit BI_RGB packed DIB of a decoded picture (rows bottom first, blue,
// green, red, alpha), with `heightFactor` x its height in the header (2 for
// the icon layout). Empty when memory cannot be had.
PackedDib PictureToDib(const platform::RgbaPicture& picture, int32_t heightFactor);

}  // namespace pk
