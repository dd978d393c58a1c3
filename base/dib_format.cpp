#include "base/dib_format.h"

#include <algorithm>
#include <cstring>

namespace pk {

namespace {

bool Contiguous(uint32_t mask) {
  if (mask == 0) return false;
  const uint32_t low = mask >> std::countr_zero(mask);
  return (low & (low + 1)) == 0;
}

// Masks of a bit-field picture: each colour a run of bits inside the pixel,
// no two sharing a bit; the alpha mask may be absent.
bool MasksValid(const DibMasks& m, uint32_t bitCount) {
  const uint64_t pixelBits = bitCount == 32 ? 0xFFFFFFFFull : (1ull << bitCount) - 1;
  const uint32_t masks[] = {m.red, m.green, m.blue, m.alpha};
  uint32_t seen = 0;
  for (size_t i = 0; i < 4; ++i) {
    if (i == 3 && masks[i] == 0) break;
    if (!Contiguous(masks[i]) || (masks[i] & ~pixelBits) != 0 || (masks[i] & seen) != 0) return false;
    seen |= masks[i];
  }
  return true;
}

}  // namespace

DibHeaderKind ClassifyDibHeader(uint32_t headerSize) {
  switch (headerSize) {
    case kBitmapInfoHeaderSize:
    case 52:
    case 56:
    case kBitmapV4HeaderSize:
    case kBitmapV5HeaderSize: return DibHeaderKind::Windows;
    case 12:
    case 16:
    case 64: return DibHeaderKind::Os2;
    default: return DibHeaderKind::Unknown;
  }
}

uint32_t DibHeaderBytes(const BitmapInfoHeader& h) {
  // Masks sit at byte 40 of every header; only a 40-byte one needs room for them.
  if (h.biCompression == kBiBitfields) return std::max(h.biSize, kDibMasksOffset + kDibMasksSize);
  return h.biSize;
}

uint32_t DibFormat::ColorsUsed() const {
  return std::min(tableEntries, DibIndexableColors(bitCount));
}

Result<DibFormat, DibFormatFault> ReadDibFormat(Bytes bytes) {
  auto size = ByteReader(bytes).U32(0);
  if (!size) return DibFormatFault::HeaderShort;
  switch (ClassifyDibHeader(*size)) {
    case DibHeaderKind::Os2: return DibFormatFault::Os2Header;
    case DibHeaderKind::Unknown: return DibFormatFault::UnknownHeader;
    case DibHeaderKind::Windows: break;
  }
  auto h = BitmapInfoHeader::Read(bytes);
  if (!h || bytes.size() < DibHeaderBytes(*h)) return DibFormatFault::HeaderShort;

  DibFormat f;
  f.header = *h;
  f.compression = h->biCompression;
  f.bitCount = h->biBitCount;
  // -2^31 has no positive row count.
  if (h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == INT32_MIN) return DibFormatFault::BadSize;
  f.width = h->biWidth;
  f.topDown = h->biHeight < 0;
  f.height = f.topDown ? -h->biHeight : h->biHeight;
  if (h->biPlanes != 1) return DibFormatFault::Planes;
  switch (f.bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    case 2: case 64: return DibFormatFault::DepthUnsupported;
    default: return DibFormatFault::DepthInvalid;
  }
  switch (f.compression) {
    case kBiRgb: break;
    case kBiRle8:
      if (f.bitCount != 8) return DibFormatFault::CompressionDepth;
      break;
    case kBiRle4:
      if (f.bitCount != 4) return DibFormatFault::CompressionDepth;
      break;
    case kBiBitfields:
      if (f.bitCount != 16 && f.bitCount != 32) return DibFormatFault::CompressionDepth;
      break;
    case kBiJpeg: return DibFormatFault::Jpeg;
    case kBiPng: return DibFormatFault::Png;
    default: return DibFormatFault::CompressionUnknown;
  }
  // Encoded rows are read from the bottom up, whatever the sign says.
  if (f.topDown && f.Compressed()) return DibFormatFault::TopDownCompressed;

  if (f.BitFields()) {
    ByteCursor c(bytes, kDibMasksOffset);
    f.masks.red = c.U32();
    f.masks.green = c.U32();
    f.masks.blue = c.U32();
    if (h->biSize >= kDibAlphaMaskOffset + 4) f.masks.alpha = c.U32();
    if (!c.ok()) return DibFormatFault::HeaderShort;
    if (!MasksValid(f.masks, f.bitCount)) return DibFormatFault::MasksInvalid;
  }

  auto stride = DibRowBytes(f.width, f.bitCount);
  if (!stride) return DibFormatFault::RowTooLong;
  f.stride = *stride;
  if (f.Compressed() && f.RowBytes() > kMaxDecodedDibBytes) return DibFormatFault::TooLarge;

  f.tableOffset = DibHeaderBytes(*h);
  const uint32_t count = h->biClrUsed != 0 ? h->biClrUsed : DibIndexableColors(f.bitCount);
  f.tableEntries = std::min<uint32_t>(count, 256);
  return f;
}

}  // namespace pk

namespace pk {

std::vector<uint8_t> PlainDibInfo(const DibFormat& f, Bytes info) {
  const uint32_t bits = f.BitFields() ? 32 : f.bitCount;
  const uint32_t entries = DibIndexableColors(bits);
  const uint32_t given = std::min(f.ColorsUsed(), entries);
  auto table = ByteReader(info).Sub(f.tableOffset, uint64_t(given) * 4);
  if (!table) return {};
  std::vector<uint8_t> plain(kBitmapInfoHeaderSize + size_t(entries) * 4, 0);
  BitmapInfoHeader h;
  h.biSize = kBitmapInfoHeaderSize;
  h.biWidth = f.width;
  h.biHeight = f.height;
  h.biPlanes = 1;
  h.biBitCount = uint16_t(bits);
  h.Write(plain.data());
  std::memcpy(plain.data() + kBitmapInfoHeaderSize, table->data(), table->size());
  return plain;
}

}  // namespace pk
