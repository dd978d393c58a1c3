// Packed DIBs: a BITMAPINFOHEADER, its colour table of RGBQUADs and the pixel
// rows, bottom row first, each padded to whole 32-bit words. Little-endian.
// The layout itself is measured by base/dib_layout.h; this is the owned block
// that the bitmap reader and the conversion return.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "base/bytes.h"
#include "base/dib_layout.h"

namespace pk {

// An owned packed DIB in one heap block.
struct PackedDib {
  std::unique_ptr<uint8_t[]> data;
  uint32_t size = 0;

  explicit operator bool() const { return data != nullptr; }
  Bytes bytes() const { return Bytes(data.get(), size); }
  MutableBytes mutable_bytes() { return MutableBytes(data.get(), size); }

  // A zero-filled block of `size` bytes; an empty PackedDib when the memory
  // cannot be had.
  static PackedDib Allocate(uint32_t size) {
    PackedDib dib;
    dib.data.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]());
    if (dib.data) dib.size = size;
    return dib;
  }
};

}  // namespace pk
