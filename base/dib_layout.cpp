#include "base/dib_layout.h"

namespace pk {

std::optional<BitmapInfoHeader> BitmapInfoHeader::Read(Bytes bytes) {
  ByteCursor c(bytes);
  BitmapInfoHeader h;
  h.biSize = c.U32();
  h.biWidth = c.I32();
  h.biHeight = c.I32();
  h.biPlanes = c.U16();
  h.biBitCount = c.U16();
  h.biCompression = c.U32();
  h.biSizeImage = c.U32();
  h.biXPelsPerMeter = c.I32();
  h.biYPelsPerMeter = c.I32();
  h.biClrUsed = c.U32();
  h.biClrImportant = c.U32();
  if (!c.ok()) return std::nullopt;
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

uint32_t MaskRowStride(int32_t width) {
  return uint32_t(((int64_t(width) + 31) / 32) * 4);
}

uint32_t DibIndexableColors(uint32_t bitCount) {
  return bitCount <= 8 ? (1u << bitCount) : 0;
}

std::optional<uint32_t> DibRowBytes(int64_t width, uint64_t bitsPerPixel) {
  if (width < 0) return std::nullopt;
  auto bits = CheckedMul(uint64_t(width), bitsPerPixel);
  auto padded = bits ? CheckedAdd(*bits, 31) : std::nullopt;
  // The readers form this sum in signed 32 bits: beyond that the row has no
  // length they agree on.
  if (!padded || *padded > uint64_t(INT32_MAX)) return std::nullopt;
  return uint32_t(*padded / 32 * 4);
}

Result<DibParts, DibFault> MeasureDib(const BitmapInfoHeader& h, DibRows rows) {
  DibParts p;
  p.width = h.biWidth;
  p.rows = rows == DibRows::IconWithMask ? h.biHeight / 2 : h.biHeight;
  if (p.width < 0 || p.rows < 0) return DibFault::NegativeSize;
  p.bitsPerPixel = uint32_t(h.biBitCount) * h.biPlanes;
  auto stride = DibRowBytes(p.width, p.bitsPerPixel);
  if (!stride) return DibFault::RowTooLong;
  p.stride = *stride;

  p.colorTable = h.biSize;
  p.colorEntries = DibColorTableSize(h) / 4u;
  p.pixels = DibPixelStart(h);
  auto pixelBytes = CheckedMul(p.stride, uint32_t(p.rows));
  auto mask = pixelBytes ? CheckedAdd(p.pixels, *pixelBytes) : std::nullopt;
  if (!mask) return DibFault::TooLarge;
  p.pixelBytes = *pixelBytes;
  p.mask = *mask;
  if (rows == DibRows::IconWithMask) {
    p.maskStride = MaskRowStride(p.width);
    auto maskBytes = CheckedMul(p.maskStride, uint32_t(p.rows));
    if (!maskBytes) return DibFault::TooLarge;
    p.maskBytes = *maskBytes;
  }
  auto end = CheckedAdd(p.mask, p.maskBytes);
  if (!end) return DibFault::TooLarge;
  p.end = *end;
  return p;
}

bool IconImageFits(const BitmapInfoHeader& h, const DibParts& parts, uint64_t size) {
  if (parts.FitsIn(size)) return true;
  return h.biBitCount == 32 && h.biPlanes == 1 && parts.mask <= size;
}

}  // namespace pk
