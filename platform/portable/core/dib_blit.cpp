#include "platform/portable/core/dib_blit.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/dib_layout.h"
#include "base/dib_pixels.h"
#include "platform/portable/core/dib_decode.h"

namespace pk::portable {

namespace {

// One side of a blit: a 40-byte, uncompressed, single-plane header of 1, 4,
// 8, 16, 24 or 32 bits with a positive size, biClrUsed 0, and its whole
// colour table (2^bits entries up to 8 bits) behind it.
struct BlitSide {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t bitCount = 0;
  uint32_t stride = 0;
  Bytes colors;
  uint64_t PixelBytes() const { return uint64_t(stride) * uint32_t(height); }
};

std::optional<BlitSide> ReadBlitSide(Bytes info) {
  auto h = BitmapInfoHeader::Read(info);
  if (!h || h->biSize != kBitmapInfoHeaderSize || h->biWidth <= 0 || h->biHeight <= 0 || h->biPlanes != 1 ||
      h->biCompression != kBiRgb || h->biClrUsed != 0) {
    return std::nullopt;
  }
  switch (h->biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return std::nullopt;
  }
  auto parts = MeasureDib(*h, DibRows::Plain);
  auto colors = ByteReader(info).Sub(kBitmapInfoHeaderSize, uint64_t(DibIndexableColors(h->biBitCount)) * 4);
  if (!parts || !colors) return std::nullopt;
  return BlitSide{h->biWidth, h->biHeight, h->biBitCount, parts->stride, *colors};
}

// Maps colours into the target's pixel format.
class ColorEncoder {
 public:
  explicit ColorEncoder(const BlitSide& target) : target_(target) {}

  uint32_t Encode(DibColor c, bool fromDirectSource) {
    switch (target_.bitCount) {
      case 16: return (uint32_t(c.red >> 3) << 10) | (uint32_t(c.green >> 3) << 5) | (c.blue >> 3);
      case 24: return (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue;
      case 32:
        return (uint32_t(c.extra) << 24) | (uint32_t(c.red) << 16) | (uint32_t(c.green) << 8) | c.blue;
      case 8:
        if (fromDirectSource) return Lookup8(c);
        return NearestColorIndex(target_.colors, c.red, c.green, c.blue);
      default: return NearestColorIndex(target_.colors, c.red, c.green, c.blue);
    }
  }

 private:
  // Into an 8-bit table the system matches only the top five bits of each
  // channel (as if every channel were the middle of its 8-value bucket), which
  // lets it cache the answer per bucket; we do the same.
  uint32_t Lookup8(DibColor c) {
    uint32_t key = (uint32_t(c.red >> 3) << 10) | (uint32_t(c.green >> 3) << 5) | (c.blue >> 3);
    if (cache_.empty()) cache_.assign(1u << 15, -1);
    int16_t& slot = cache_[key];
    if (slot < 0) {
      slot = int16_t(NearestColorIndex(target_.colors, uint8_t((c.red & 0xF8) | 4),
                                       uint8_t((c.green & 0xF8) | 4), uint8_t((c.blue & 0xF8) | 4)));
    }
    return uint32_t(slot);
  }

  const BlitSide& target_;
  std::vector<int16_t> cache_;
};

}  // namespace

std::vector<int32_t> StretchIndices(int32_t sourceExtent, int32_t targetExtent, bool keepLast) {
  std::vector<int32_t> map(size_t(std::max(targetExtent, 0)), 0);
  if (sourceExtent <= 0 || targetExtent <= 0) return map;
  int64_t s = sourceExtent, d = targetExtent;
  // StretchBlt narrows the source by one pixel when the target is one pixel
  // wide (or high), so 3 -> 1 takes from the first two pixels only.
  if (d == 1 && s > 1) --s;
  if (d >= s) {
    // Each target pixel takes the source pixel under its centre; an exact tie
    // goes to the lower source pixel.
    for (int64_t i = 0; i < d; ++i) map[size_t(i)] = int32_t(((2 * i + 1) * s - 1) / (2 * d));
    return map;
  }
  // Shrinking: source pixel i falls into target pixel m(i); of each group the
  // last survives along a row and the first down a column.
  std::vector<bool> seen(size_t(d), false);
  for (int64_t i = 0; i < s; ++i) {
    size_t m = size_t(((2 * i + 1) * d - 1) / (2 * s));
    if (keepLast || !seen[m]) map[m] = int32_t(i);
    seen[m] = true;
  }
  return map;
}

uint32_t NearestColorIndex(std::span<const uint8_t> colors, uint8_t red, uint8_t green, uint8_t blue) {
  uint32_t best = 0;
  uint32_t bestDistance = UINT32_MAX;
  for (size_t i = 0; i + 4 <= colors.size(); i += 4) {
    int db = int(colors[i]) - blue, dg = int(colors[i + 1]) - green, dr = int(colors[i + 2]) - red;
    uint32_t distance = uint32_t(dr * dr + dg * dg + db * db);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = uint32_t(i / 4);
      if (distance == 0) break;
    }
  }
  return best;
}

bool BlitDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
             std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
             platform::RenderMode mode) {
  auto source = ReadBlitSide(sourceInfo);
  if (!source) {
    // Top-down rows, bit fields and encoded rows are first made plain, as
    // GDI first puts them into a DIB section.
    auto format = ReadDibFormat(sourceInfo);
    if (!format || format->Plain()) return false;
    auto plain = DecodeDib(sourceInfo, sourcePixels);
    return plain && BlitDib(plain->info, plain->pixels, targetInfo, targetPixels, mode);
  }
  auto target = ReadBlitSide(targetInfo);
  if (!target) return false;
  if (sourcePixels.size() != source->PixelBytes() || targetPixels.size() != target->PixelBytes()) {
    return false;
  }
  // A fresh DIB section is all zero bytes; whatever the source does not cover
  // stays so.
  std::fill(targetPixels.begin(), targetPixels.end(), uint8_t(0));

  // Which source column and row (rows counted from the top) each target
  // column and row takes; -1 where a plain copy runs past the source.
  std::vector<int32_t> columns, rows;
  if (mode == platform::RenderMode::Stretch) {
    columns = StretchIndices(source->width, target->width, true);
    rows = StretchIndices(source->height, target->height, false);
  } else {
    columns.resize(size_t(target->width));
    rows.resize(size_t(target->height));
    for (int32_t x = 0; x < target->width; ++x) columns[size_t(x)] = x < source->width ? x : -1;
    for (int32_t y = 0; y < target->height; ++y) rows[size_t(y)] = y < source->height ? y : -1;
  }

  // Source pixel value -> target pixel value. A paletted source is mapped
  // once per table entry; between identical tables of the same depth the
  // index is carried over unchanged.
  ColorEncoder encoder(*target);
  std::vector<uint32_t> lut;
  bool rawCopy = false;
  if (source->bitCount <= 8) {
    if (source->bitCount == target->bitCount && source->colors.size() == target->colors.size() &&
        std::equal(source->colors.begin(), source->colors.end(), target->colors.begin())) {
      rawCopy = true;
    } else {
      lut.resize(size_t(1) << source->bitCount);
      for (uint32_t i = 0; i < lut.size(); ++i) lut[i] = encoder.Encode(TableDibColor(source->colors, i), false);
    }
  }
  bool sameDirect = source->bitCount == target->bitCount && source->bitCount > 8;

  for (int32_t y = 0; y < target->height; ++y) {
    int32_t sy = rows[size_t(y)];
    if (sy < 0) continue;
    // Both bitmaps are bottom-up: the top row is the last in memory.
    const Bytes in = sourcePixels.subspan(size_t(source->height - 1 - sy) * source->stride, source->stride);
    const MutableBytes out = targetPixels.subspan(size_t(target->height - 1 - y) * target->stride, target->stride);
    for (int32_t x = 0; x < target->width; ++x) {
      int32_t sx = columns[size_t(x)];
      if (sx < 0) continue;
      uint32_t pixel = ReadDibPixel(in, sx, source->bitCount);
      uint32_t value;
      if (rawCopy || sameDirect) {
        value = pixel;
      } else if (!lut.empty()) {
        value = lut[pixel];
      } else {
        value = encoder.Encode(DirectDibColor(pixel, source->bitCount), true);
      }
      WriteDibPixel(out, x, target->bitCount, value);
    }
  }
  return true;
}

}  // namespace pk::portable
