#include "codec/bitmap_icon.h"

#include <algorithm>
#include <cstring>

#include "base/dib_format.h"
#include "codec/bmp_file.h"
#include "codec/dib_convert.h"
#include "codec_messages.h"
#include "platform/clipboard.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/png.h"

namespace pk {

bool BitmapToIconImage(IconSetImage* image, Bytes dib, bool stretch) {
  if (image == nullptr || dib.empty()) return false;
  PackedDib converted = ConvertDib(dib, image->width, image->height, image->bitCount, stretch);
  if (!converted) return false;

  // The icon format counts colour and mask rows together in the height.
  BitmapInfoHeader h = *BitmapInfoHeader::Read(converted.bytes());
  const uint64_t convertedPixels = DibPixelStart(h);
  h.biHeight *= 2;
  // Bounded by the conversion's largest target, far below 4 GiB.
  const DibParts parts = *MeasureDib(h, DibRows::IconWithMask);

  image->ReleaseData();
  image->data.reset(new (std::nothrow) uint8_t[parts.end]);
  if (!image->data) return false;
  image->dataSize = uint32_t(parts.end);
  image->format = ImageFormat::Dib;

  uint8_t* data = image->data.get();
  std::memcpy(data, converted.data.get(), size_t(parts.pixels));
  h.Write(data);
  image->header = data;
  image->xorBits = data + parts.pixels;
  std::memcpy(image->xorBits, converted.data.get() + convertedPixels, size_t(parts.pixelBytes));
  // An all-zero mask: every pixel opaque.
  image->andBits = data + parts.mask;
  std::memset(image->andBits, 0, size_t(parts.maskBytes));
  return true;
}

bool ImportBmpIcon(const char* path, IconSetImage* image, bool stretch) {
  PackedDib dib = LoadBmpFile(path);
  if (!dib) return false;
  return BitmapToIconImage(image, dib.bytes(), stretch);
}

void FitIconImageSize(int32_t width, int32_t height, int32_t* fitWidth, int32_t* fitHeight) {
  const int32_t longest = std::max(width, height);
  if (longest <= kMaxIconSide) {
    *fitWidth = width;
    *fitHeight = height;
    return;
  }
  // Rounded to the nearest pixel; a sliver keeps at least one.
  auto scale = [&](int32_t side) {
    return std::max<int32_t>(1, int32_t((int64_t(side) * kMaxIconSide + longest / 2) / longest));
  };
  *fitWidth = scale(width);
  *fitHeight = scale(height);
}

std::unique_ptr<IconSet> BitmapToIconSet(Bytes dib, int32_t width, int32_t height, uint32_t bitCount,
                                         bool stretch) {
  auto set = NewIconSet(1);
  if (!set) return nullptr;
  IconSetImage& image = set->images[0];
  image.width = width;
  image.height = height;
  image.bitCount = bitCount;
  if (!BitmapToIconImage(&image, dib, stretch)) return nullptr;
  set->imageCount = 1;
  return set;
}

std::unique_ptr<IconSet> ImportBmpIconSet(const char* path) {
  PackedDib dib = LoadBmpFile(path);
  if (!dib) return nullptr;
  // What the reader returns has a header it reads: both sides positive,
  // whichever way the rows are stored.
  const auto format = ReadDibFormat(dib.bytes());
  if (!format) return nullptr;
  int32_t width, height;
  FitIconImageSize(format->width, format->height, &width, &height);
  auto set = BitmapToIconSet(dib.bytes(), width, height, format->bitCount, true);
  if (set) SetRecordPath(set->iconFilePath, path);
  return set;
}

PackedDib PictureToDib(const platform::RgbaPicture& picture, int32_t heightFactor) {
  const uint64_t stride = uint64_t(picture.width) * 4;
  const uint64_t size = kBitmapInfoHeaderSize + stride * uint32_t(picture.height);
  if (picture.width <= 0 || picture.height <= 0 || size > UINT32_MAX ||
      picture.pixels.size() != uint64_t(picture.width) * uint32_t(picture.height)) {
    return {};
  }
  PackedDib dib = PackedDib::Allocate(uint32_t(size));
  if (!dib) return {};
  BitmapInfoHeader h;
  h.biSize = kBitmapInfoHeaderSize;
  h.biWidth = picture.width;
  h.biHeight = picture.height * heightFactor;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.Write(dib.data.get());
  for (int32_t y = 0; y < picture.height; ++y) {
    // Pictures are top row first, DIBs bottom row first.
    uint8_t* row = dib.data.get() + kBitmapInfoHeaderSize + stride * uint32_t(picture.height - 1 - y);
    const uint32_t* in = picture.pixels.data() + size_t(y) * uint32_t(picture.width);
    for (int32_t x = 0; x < picture.width; ++x) StoreU32(row + 4 * x, in[x]);  // B, G, R, A
  }
  return dib;
}

bool ExportImageBmp(const char* path, const IconSetImage& image) {
  if (image.format == ImageFormat::Png) {
    // No colour rows to copy: the decoded picture is written instead.
    auto picture = platform::DecodePng(image.bytes());
    PackedDib dib = picture ? PictureToDib(*picture, 2) : PackedDib{};
    if (!dib) {
      platform::ShowMessage(platform::Owner::None, msg::kBmpWriteFailed, path);
      return false;
    }
    return SaveBmpFile(path, dib.bytes());
  }
  return SaveBmpFile(path, image.bytes());
}

bool CopyImageToClipboard(const IconSetImage& image) {
  PackedDib decoded;
  Bytes block = image.bytes();
  bool halveHeight = true;
  if (image.format == ImageFormat::Png && image.dataSize != 0) {
    auto picture = platform::DecodePng(image.bytes());
    if (picture) decoded = PictureToDib(*picture, 1);
    if (!decoded) return false;
    block = decoded.bytes();
    halveHeight = false;
  }

  auto clipboard = platform::OpenClipboardFor(platform::MainWindow());
  if (!clipboard) return false;
  if (!clipboard->Empty()) return false;
  // Checked only now: an image without bytes still leaves the clipboard empty.
  if (block.size() < kBitmapInfoHeaderSize) return false;
  const int32_t height = BitmapInfoHeader::Read(block)->biHeight;
  return clipboard->SetData(platform::kClipboardFormatDib, uint32_t(block.size()),
                            [&](std::span<uint8_t> out) {
                              std::memcpy(out.data(), block.data(), block.size());
                              // Readers of CF_DIB see the colour picture alone;
                              // the mask rows trail where they do not look.
                              if (halveHeight) StoreI32(out.data() + kBiHeightOffset, height / 2);
                            });
}

}  // namespace pk
