#include "platform/portable/core/dib_blit.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "base/bytes.h"

namespace pk::portable {

namespace {

constexpr uint32_t kInfoHeaderSize = 40;

struct Color {
  uint8_t red = 0, green = 0, blue = 0;
  uint8_t extra = 0;  // the fourth byte of a 32-bit pixel
};

uint32_t ReadPixel(const uint8_t* row, int32_t x, uint16_t bits) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8: return row[x];
    case 16: return LoadU16(row + 2 * size_t(x));
    case 24: {
      const uint8_t* p = row + 3 * size_t(x);
      return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
    }
    default: return LoadU32(row + 4 * size_t(x));
  }
}

void WritePixel(uint8_t* row, int32_t x, uint16_t bits, uint32_t value) {
  switch (bits) {
    case 1: {
      uint8_t bit = uint8_t(0x80u >> (x & 7));
      row[x >> 3] = uint8_t((row[x >> 3] & ~bit) | (value ? bit : 0));
      break;
    }
    case 4: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? uint8_t((b & 0xF0) | (value & 0x0F)) : uint8_t((b & 0x0F) | ((value & 0x0F) << 4));
      break;
    }
    case 8: row[x] = uint8_t(value); break;
    case 16: StoreU16(row + 2 * size_t(x), uint16_t(value)); break;
    case 24: {
      uint8_t* p = row + 3 * size_t(x);
      p[0] = uint8_t(value);
      p[1] = uint8_t(value >> 8);
      p[2] = uint8_t(value >> 16);
      break;
    }
    default: StoreU32(row + 4 * size_t(x), value); break;
  }
}

Color TableColor(std::span<const uint8_t> colors, uint32_t index) {
  // Every index of a checked layout has an entry; out-of-table indices would
  // be black, as the system draws them.
  if (size_t(index) * 4 + 4 > colors.size()) return {};
  const uint8_t* q = colors.data() + size_t(index) * 4;
  return {q[2], q[1], q[0], 0};
}

// The colour of a direct-colour pixel. BI_RGB 16-bit pixels are X1R5G5B5;
// each 5-bit channel widens to 8 bits by repeating its top bits.
Color DirectColor(uint32_t pixel, uint16_t bits) {
  if (bits == 16) {
    auto widen = [](uint32_t v) { return uint8_t((v << 3) | (v >> 2)); };
    return {widen((pixel >> 10) & 31), widen((pixel >> 5) & 31), widen(pixel & 31), 0};
  }
  return {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel), uint8_t(pixel >> 24)};
}

// Maps colours into the target's pixel format.
class ColorEncoder {
 public:
  explicit ColorEncoder(const DibLayout& target) : target_(target) {}

  uint32_t Encode(Color c, bool fromDirectSource) {
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
  uint32_t Lookup8(Color c) {
    uint32_t key = (uint32_t(c.red >> 3) << 10) | (uint32_t(c.green >> 3) << 5) | (c.blue >> 3);
    if (cache_.empty()) cache_.assign(1u << 15, -1);
    int16_t& slot = cache_[key];
    if (slot < 0) {
      slot = int16_t(NearestColorIndex(target_.colors, uint8_t((c.red & 0xF8) | 4),
                                       uint8_t((c.green & 0xF8) | 4), uint8_t((c.blue & 0xF8) | 4)));
    }
    return uint32_t(slot);
  }

  const DibLayout& target_;
  std::vector<int16_t> cache_;
};

}  // namespace

std::optional<DibLayout> ReadDibLayout(std::span<const uint8_t> info) {
  ByteReader r(info);
  auto size = r.U32(0);
  auto width = r.I32(4);
  auto height = r.I32(8);
  auto planes = r.U16(12);
  auto bits = r.U16(14);
  auto compression = r.U32(16);
  auto clrUsed = r.U32(32);
  if (!size || !clrUsed || *size != kInfoHeaderSize) return std::nullopt;
  if (*width <= 0 || *height <= 0 || *planes != 1 || *compression != 0 || *clrUsed != 0) {
    return std::nullopt;
  }
  switch (*bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return std::nullopt;
  }
  DibLayout layout;
  layout.width = *width;
  layout.height = *height;
  layout.bitCount = *bits;
  uint64_t stride = ((uint64_t(*width) * *bits + 31) / 32) * 4;
  if (stride > UINT32_MAX) return std::nullopt;
  layout.stride = uint32_t(stride);
  uint32_t entries = *bits <= 8 ? (1u << *bits) : 0;
  auto colors = r.Sub(kInfoHeaderSize, uint64_t(entries) * 4);
  if (!colors) return std::nullopt;
  layout.colors = *colors;
  return layout;
}

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
  auto source = ReadDibLayout(sourceInfo);
  auto target = ReadDibLayout(targetInfo);
  if (!source || !target) return false;
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
      for (uint32_t i = 0; i < lut.size(); ++i) lut[i] = encoder.Encode(TableColor(source->colors, i), false);
    }
  }
  bool sameDirect = source->bitCount == target->bitCount && source->bitCount > 8;

  for (int32_t y = 0; y < target->height; ++y) {
    int32_t sy = rows[size_t(y)];
    if (sy < 0) continue;
    // Both bitmaps are bottom-up: the top row is the last in memory.
    const uint8_t* in = sourcePixels.data() + size_t(source->height - 1 - sy) * source->stride;
    uint8_t* out = targetPixels.data() + size_t(target->height - 1 - y) * target->stride;
    for (int32_t x = 0; x < target->width; ++x) {
      int32_t sx = columns[size_t(x)];
      if (sx < 0) continue;
      uint32_t pixel = ReadPixel(in, sx, source->bitCount);
      uint32_t value;
      if (rawCopy || sameDirect) {
        value = pixel;
      } else if (!lut.empty()) {
        value = lut[pixel];
      } else {
        value = encoder.Encode(DirectColor(pixel, source->bitCount), true);
      }
      WritePixel(out, x, target->bitCount, value);
    }
  }
  return true;
}

}  // namespace pk::portable
