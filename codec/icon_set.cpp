#include "codec/icon_set.h"

#include <algorithm>
#include <new>

#include "base/png_header.h"

namespace pk {

BitmapInfoHeader IconSetImage::Header() const {
  return BitmapInfoHeader::Read(bytes()).value_or(BitmapInfoHeader{});
}

bool IconSetImage::AssignData(Bytes bytes) {
  ReleaseData();
  data.reset(new (std::nothrow) uint8_t[bytes.empty() ? 1 : bytes.size()]);
  if (!data) return false;
  if (!bytes.empty()) std::memcpy(data.get(), bytes.data(), bytes.size());
  dataSize = uint32_t(bytes.size());
  return true;
}

void IconSetImage::ReleaseData() {
  data.reset();
  dataSize = 0;
  header = xorBits = andBits = nullptr;
}

std::unique_ptr<IconSet> NewIconSet(uint32_t room) {
  try {
    auto set = std::make_unique<IconSet>();
    set->images.resize(room);
    return set;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void SetRecordPath(char (&field)[kMaxPath], std::string_view path) {
  size_t n = std::min(path.size(), kMaxPath - 1);
  // Back to the start of a character: UTF-8 continuation bytes are 10xxxxxx.
  while (n > 0 && n < path.size() && (static_cast<unsigned char>(path[n]) & 0xC0) == 0x80) --n;
  std::memcpy(field, path.data(), n);
  field[n] = '\0';
}

namespace {

Status<ImageFault> BindPng(IconSetImage* image) {
  auto info = ReadPngHeader(image->bytes());
  if (!info) return ImageFault::PngHeader;
  image->format = ImageFormat::Png;
  image->width = int32_t(info->width);
  image->height = int32_t(info->height);
  image->bitCount = info->bitsPerPixel;
  image->header = image->xorBits = image->andBits = nullptr;
  return {};
}

}  // namespace

Status<ImageFault> BindIconImage(IconSetImage* image) {
  if (image == nullptr || !image->data) return ImageFault::NoImage;
  if (HasPngSignature(image->bytes())) return BindPng(image);

  auto h = BitmapInfoHeader::Read(image->bytes());
  // The fields are read at their BITMAPINFOHEADER places, so a shorter header
  // (or one claiming more bytes than the image has) cannot be laid out.
  if (!h || h->biSize < kBitmapInfoHeaderSize || h->biSize > image->dataSize) return ImageFault::HeaderSize;
  // Header, colour table, colour rows and the 1-bit mask must all lie inside
  // the bytes that were read; a 32-bit image may lack its mask, or part of it.
  auto parts = MeasureDib(*h, DibRows::IconWithMask);
  if (!parts) {
    switch (parts.reason()) {
      case DibFault::NegativeSize: return ImageFault::NegativeSize;
      case DibFault::RowTooLong: return ImageFault::RowTooLong;
      case DibFault::TooLarge: return ImageFault::PartsOutside;
    }
  }
  if (!IconImageFits(*h, *parts, image->dataSize)) return ImageFault::PartsOutside;

  image->format = ImageFormat::Dib;
  image->header = image->data.get();
  image->width = parts->width;
  image->height = parts->rows;
  image->bitCount = parts->bitsPerPixel;
  image->xorBits = image->data.get() + parts->pixels;
  image->andBits = image->data.get() + parts->mask;
  return {};
}

platform::IconHandle IconHandleFromImage(const IconSetImage* image) {
  if (image == nullptr || !image->data) return nullptr;
  Bytes bytes = image->bytes();
  int width, height;
  bool sixteenBit = false;
  if (auto png = ReadPngHeader(bytes)) {
    width = int(png->width);
    height = int(png->height);
  } else {
    auto h = BitmapInfoHeader::Read(bytes);
    if (!h) return nullptr;
    width = h->biWidth;
    height = h->biHeight / 2;
    sixteenBit = h->biBitCount == 16;
  }
  if (auto icon = platform::CreateIconFromImage(bytes, width, height)) return icon;
  // Windows makes a 16-bit image at its own size or not at all.
  if (sixteenBit) return nullptr;
  return platform::CreateIconFromImageDefaultSize(bytes);
}

}  // namespace pk
