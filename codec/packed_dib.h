// An owned packed DIB: a BITMAPINFOHEADER, its colour table and the pixel
// rows in one heap block, as the bitmap reader and the conversion return it.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "base/bytes.h"

namespace pk {

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
