#include "platform/portable/core/icon_decode.h"

#include "base/dib_layout.h"
#include "base/dib_pixels.h"

namespace pk::platform {

namespace {

uint32_t Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

bool IsDecodableDepth(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

}  // namespace

std::optional<RgbaPicture> DecodeDibIcon(std::span<const uint8_t> bytes) {
  auto h = BitmapInfoHeader::Read(bytes);
  if (!h || h->biSize < kBitmapInfoHeaderSize) return std::nullopt;
  if (h->biPlanes != 1 || h->biCompression != kBiRgb || !IsDecodableDepth(h->biBitCount)) return std::nullopt;
  // The parts are found where the program's own binding finds them: the
  // colour table at its 16-bit size, then the colour rows, then the mask.
  auto parts = MeasureDib(*h, DibRows::IconWithMask);
  if (!parts || parts->width <= 0 || parts->rows <= 0 || parts->width > kMaxDecodedSide ||
      parts->rows > kMaxDecodedSide || !IconImageFits(*h, *parts, bytes.size()))
    return std::nullopt;
  const Bytes table = bytes.subspan(size_t(parts->colorTable), size_t(parts->colorEntries) * 4);
  const uint32_t bits = parts->bitsPerPixel;
  const int32_t width = parts->width, height = parts->rows;

  RgbaPicture picture;
  picture.width = width;
  picture.height = height;
  picture.pixels.resize(size_t(width) * size_t(height));
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    // Rows are stored bottom row first.
    const Bytes row = bytes.subspan(size_t(parts->pixels + uint64_t(height - 1 - y) * parts->stride), parts->stride);
    uint32_t* out = picture.pixels.data() + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t value = ReadDibPixel(row, x, bits);
      if (bits <= 8) {
        const DibColor c = TableDibColor(table, value);
        out[x] = Argb(255, c.red, c.green, c.blue);
      } else {
        const DibColor c = DirectDibColor(value, bits);
        out[x] = Argb(bits == 32 ? c.extra : 255, c.red, c.green, c.blue);
        anyAlpha |= bits == 32 && c.extra != 0;
      }
    }
  }
  if (bits == 32 && anyAlpha) return picture;
  // A 32-bit image without the whole of its mask, and no alpha: the system
  // leaves the mask out and shows every pixel.
  if (!parts->FitsIn(bytes.size())) {
    for (uint32_t& pixel : picture.pixels) pixel |= 0xFF000000u;
    return picture;
  }
  for (int32_t y = 0; y < height; ++y) {
    const Bytes row = bytes.subspan(size_t(parts->mask + uint64_t(height - 1 - y) * parts->maskStride), parts->maskStride);
    uint32_t* out = picture.pixels.data() + size_t(y) * size_t(width);
    for (int32_t x = 0; x < width; ++x) {
      const bool transparent = ReadDibPixel(row, x, 1) != 0;
      out[x] = transparent ? (out[x] & 0x00FFFFFFu) : (out[x] | 0xFF000000u);
    }
  }
  return picture;
}

RgbaPicture ScalePicture(const RgbaPicture& picture, int width, int height) {
  RgbaPicture scaled;
  if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return scaled;
  scaled.width = width;
  scaled.height = height;
  scaled.pixels.resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y) {
    int sy = int(int64_t(y) * picture.height / height);
    for (int x = 0; x < width; ++x) {
      int sx = int(int64_t(x) * picture.width / width);
      scaled.pixels[size_t(y) * width + x] = picture.pixels[size_t(sy) * picture.width + sx];
    }
  }
  return scaled;
}

}  // namespace pk::platform
