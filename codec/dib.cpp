#include "codec/dib.h"

namespace pk {

std::optional<BitmapInfoHeader> BitmapInfoHeader::Read(Bytes bytes) {
  if (bytes.size() < kBitmapInfoHeaderSize) return std::nullopt;
  const uint8_t* p = bytes.data();
  BitmapInfoHeader h;
  h.biSize = LoadU32(p);
  h.biWidth = LoadI32(p + 4);
  h.biHeight = LoadI32(p + 8);
  h.biPlanes = LoadU16(p + 12);
  h.biBitCount = LoadU16(p + 14);
  h.biCompression = LoadU32(p + 16);
  h.biSizeImage = LoadU32(p + 20);
  h.biXPelsPerMeter = LoadI32(p + 24);
  h.biYPelsPerMeter = LoadI32(p + 28);
  h.biClrUsed = LoadU32(p + 32);
  h.biClrImportant = LoadU32(p + 36);
  return h;
}

void BitmapInfoHeader::Write(uint8_t* p) const {
  StoreU32(p, biSize);
  StoreI32(p + 4, biWidth);
  StoreI32(p + 8, biHeight);
  StoreU16(p + 12, biPlanes);
  StoreU16(p + 14, biBitCount);
  StoreU32(p + 16, biCompression);
  StoreU32(p + 20, biSizeImage);
  StoreI32(p + 24, biXPelsPerMeter);
  StoreI32(p + 28, biYPelsPerMeter);
  StoreU32(p + 32, biClrUsed);
  StoreU32(p + 36, biClrImportant);
}

uint32_t DibColorCount(const BitmapInfoHeader& h) {
  if (h.biClrUsed != 0) return h.biClrUsed;
  switch (h.biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

uint16_t DibColorTableSize(const BitmapInfoHeader& h) {
  return static_cast<uint16_t>(DibColorCount(h) * 4u);
}

int32_t DibRowStride(const BitmapInfoHeader& h) {
  // The product is formed in signed 32 bits, as the format's own readers do;
  // the unsigned detour keeps a wrapping product defined behaviour.
  uint32_t n = uint32_t(h.biBitCount) * uint32_t(h.biPlanes) * static_cast<uint32_t>(h.biWidth);
  int32_t words = static_cast<int32_t>(n + 31u) >> 3;
  return words & ~3;
}

uint64_t DibPixelStart(const BitmapInfoHeader& h) {
  return uint64_t(h.biSize) + DibColorTableSize(h);
}

}  // namespace pk
