#include "platform/portable/core/icon_decode.h"

#include "base/bytes.h"

namespace pk::platform {

namespace {

uint32_t Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

}  // namespace

std::optional<RgbaPicture> DecodeDibIcon(std::span<const uint8_t> bytes) {
  ByteReader r(bytes);
  auto biSize = r.U32(0);
  auto width = r.I32(4);
  auto doubledHeight = r.I32(8);
  auto planes = r.U16(12);
  auto bitCount = r.U16(14);
  auto compression = r.U32(16);
  auto clrUsed = r.U32(32);
  if (!clrUsed || *biSize < 40) return std::nullopt;
  const int32_t height = *doubledHeight / 2;
  if (*width <= 0 || height <= 0 || *width > kMaxDecodedSide || height > kMaxDecodedSide)
    return std::nullopt;
  if (*planes != 1 || *compression != 0) return std::nullopt;
  const uint32_t bpp = *bitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return std::nullopt;

  // A palette longer than the depth can index adds nothing; a shorter one
  // leaves the missing entries black.
  uint32_t paletteSize = bpp <= 8 ? (*clrUsed ? *clrUsed : (1u << bpp)) : *clrUsed;
  const uint64_t tableBytes = uint64_t(paletteSize) * 4;
  const uint64_t stride = ((uint64_t(*width) * bpp + 31) / 32) * 4;
  const uint64_t maskStride = ((uint64_t(*width) + 31) / 32) * 4;
  const uint64_t colorStart = uint64_t(*biSize) + tableBytes;
  auto table = r.Sub(*biSize, tableBytes);
  auto color = r.Sub(colorStart, stride * uint64_t(height));
  auto mask = r.Sub(colorStart + stride * uint64_t(height), maskStride * uint64_t(height));
  if (!table || !color || !mask) return std::nullopt;

  auto paletteColor = [&](uint32_t index) -> uint32_t {
    if (index >= paletteSize || index >= 256) return Argb(255, 0, 0, 0);
    const uint8_t* q = table->data() + index * 4;
    return Argb(255, q[2], q[1], q[0]);
  };

  RgbaPicture picture;
  picture.width = *width;
  picture.height = height;
  picture.pixels.resize(size_t(*width) * size_t(height));
  bool anyAlpha = false;
  for (int32_t y = 0; y < height; ++y) {
    // Rows are stored bottom row first.
    const uint8_t* row = color->data() + uint64_t(height - 1 - y) * stride;
    uint32_t* out = picture.pixels.data() + size_t(y) * size_t(*width);
    for (int32_t x = 0; x < *width; ++x) {
      uint32_t value;
      switch (bpp) {
        case 1: value = paletteColor((row[x >> 3] >> (7 - (x & 7))) & 1); break;
        case 4: value = paletteColor((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF); break;
        case 8: value = paletteColor(row[x]); break;
        case 16: {
          // 5-5-5, the layout of uncompressed 16-bit DIBs.
          uint16_t v = LoadU16(row + 2 * x);
          uint8_t r5 = (v >> 10) & 31, g5 = (v >> 5) & 31, b5 = v & 31;
          value = Argb(255, uint8_t(r5 << 3 | r5 >> 2), uint8_t(g5 << 3 | g5 >> 2), uint8_t(b5 << 3 | b5 >> 2));
          break;
        }
        case 24: value = Argb(255, row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
        default: {
          const uint8_t* p = row + 4 * x;
          value = Argb(p[3], p[2], p[1], p[0]);
          anyAlpha |= p[3] != 0;
          break;
        }
      }
      out[x] = value;
    }
  }
  if (bpp == 32 && anyAlpha) return picture;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = mask->data() + uint64_t(height - 1 - y) * maskStride;
    uint32_t* out = picture.pixels.data() + size_t(y) * size_t(*width);
    for (int32_t x = 0; x < *width; ++x) {
      bool transparent = (row[x >> 3] >> (7 - (x & 7))) & 1;
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
