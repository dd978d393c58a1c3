#include "codec/icon_set.h"

#include <algorithm>
#include <new>

#include "codec/png_info.h"

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
  std::memcpy(field, path.data(), n);
  field[n] = '\0';
}

namespace {

bool BindPng(IconSetImage* image) {
  auto info = ReadPngInfo(image->bytes());
  if (!info) return false;
  image->format = ImageFormat::Png;
  image->width = int32_t(info->width);
  image->height = int32_t(info->height);
  image->bitCount = info->bitsPerPixel;
  image->header = image->xorBits = image->andBits = nullptr;
  return true;
}

}  // namespace

bool BindIconImage(IconSetImage* image) {
  if (image == nullptr || !image->data) return false;
  if (HasPngSignature(image->bytes())) return BindPng(image);

  auto h = BitmapInfoHeader::Read(image->bytes());
  // The fields are read at their BITMAPINFOHEADER places, so a shorter header
  // (or one claiming more bytes than the image has) cannot be laid out.
  if (!h || h->biSize < kBitmapInfoHeaderSize || h->biSize > image->dataSize) return false;

  int32_t height = h->biHeight / 2;
  int32_t stride = DibRowStride(*h);
  if (h->biWidth < 0 || height < 0 || stride < 0) return false;
  // Each part must fit in the bytes that were read: header, colour table,
  // colour rows, then the 1-bit mask. 64-bit sums cannot wrap here.
  uint64_t pixelStart = DibPixelStart(*h);
  uint64_t colorBytes = uint64_t(uint32_t(stride)) * uint32_t(height);
  uint64_t maskBytes = uint64_t(MaskRowStride(h->biWidth)) * uint32_t(height);
  uint64_t end = pixelStart + colorBytes + maskBytes;
  if (end > image->dataSize) return false;

  image->format = ImageFormat::Dib;
  image->header = image->data.get();
  image->width = h->biWidth;
  image->height = height;
  image->bitCount = uint32_t(h->biBitCount) * uint32_t(h->biPlanes);
  image->xorBits = image->data.get() + pixelStart;
  image->andBits = image->xorBits + colorBytes;
  return true;
}

platform::IconHandle IconHandleFromImage(const IconSetImage* image) {
  if (image == nullptr || !image->data) return nullptr;
  Bytes bytes = image->bytes();
  int width, height;
  bool sixteenBit = false;
  if (auto png = ReadPngInfo(bytes)) {
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
