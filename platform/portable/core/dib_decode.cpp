#include "platform/portable/core/dib_decode.h"

#include <algorithm>
#include <cstring>

#include "base/dib_pixels.h"

namespace pk::portable {

void DecodeRle(Bytes stream, const DibFormat& format, MutableBytes rows) {
  const uint32_t bits = format.bitCount;
  const int64_t width = format.width;
  int64_t x = 0;
  int64_t y = 0;  // rows counted from the bottom, the order they are stored in
  int64_t open = 0;  // where the stretch of the row that no code has closed yet begins
  auto row = [&](int64_t at) { return rows.subspan(size_t(at) * format.stride, format.stride); };
  // A stretch that no code closes is dropped: its pixels go back to 0.
  auto dropOpen = [&] {
    for (int64_t p = open; p < x; ++p) WriteDibPixel(row(y), int32_t(p), bits, 0);
  };

  size_t i = 0;
  while (i + 1 < stream.size()) {
    const uint8_t count = stream[i], value = stream[i + 1];
    i += 2;
    if (count != 0) {
      // A run of one value (two alternating nibbles at 4 bits), cut at the row's end.
      const int64_t n = std::min<int64_t>(count, width - x);
      for (int64_t k = 0; k < n; ++k) {
        const uint32_t pixel = bits == 8 ? value : (k % 2 == 0 ? value >> 4 : value & 0xFu);
        WriteDibPixel(row(y), int32_t(x + k), bits, pixel);
      }
      x += n;
      continue;
    }
    if (value < 3) open = x;  // end of line, end of picture and delta close the stretch
    if (value == 0) {
      x = open = 0;
      if (++y >= format.height) return;
    } else if (value == 1) {
      return;
    } else if (value == 2) {
      if (i + 1 >= stream.size()) return;
      x = open = std::min<int64_t>(x + stream[i], width);
      y += stream[i + 1];
      i += 2;
      if (y >= format.height) return;
    } else {
      // `value` pixels stored as they are, padded to a whole 16-bit word.
      const size_t bytes = (size_t(value) * bits + 7) / 8;
      if (bytes > stream.size() - i) break;
      const int64_t n = std::min<int64_t>(value, width - x);
      const Bytes literal = stream.subspan(i, bytes);
      for (int64_t k = 0; k < n; ++k)
        WriteDibPixel(row(y), int32_t(x + k), bits, ReadDibPixel(literal, int32_t(k), bits));
      x += n;
      i += bytes + (bytes & 1);
    }
  }
  dropOpen();
}

std::optional<PlainDib> DecodeDib(Bytes info, Bytes stored) {
  auto format = ReadDibFormat(info);
  if (!format) return std::nullopt;
  PlainDib plain;
  plain.info = PlainDibInfo(*format, info);
  if (plain.info.empty()) return std::nullopt;
  // Encoded rows are bounded by ReadDibFormat; the others by what is stored.
  if (!format->Compressed() && stored.size() < format->RowBytes()) return std::nullopt;
  const auto stride = DibRowBytes(format->width, format->BitFields() ? 32 : format->bitCount);
  if (!stride) return std::nullopt;
  const size_t height = size_t(format->height);
  plain.pixels.assign(size_t(*stride) * height, 0);
  if (format->Compressed()) {
    DecodeRle(stored, *format, plain.pixels);
    return plain;
  }
  for (size_t y = 0; y < height; ++y) {
    // The picture's row y counted from the top, wherever it is stored.
    const Bytes in = stored.subspan((format->topDown ? y : height - 1 - y) * format->stride, format->stride);
    const MutableBytes out = MutableBytes(plain.pixels).subspan((height - 1 - y) * *stride, *stride);
    if (!format->BitFields()) {
      std::memcpy(out.data(), in.data(), out.size());
      continue;
    }
    for (int32_t x = 0; x < format->width; ++x) {
      const uint32_t pixel = ReadDibPixel(in, x, format->bitCount);
      StoreU32(out.data() + size_t(x) * 4, BitFieldPixelTo32(pixel, format->bitCount, format->masks));
    }
  }
  return plain;
}

}  // namespace pk::portable
