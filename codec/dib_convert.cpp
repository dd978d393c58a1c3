#include "codec/dib_convert.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/dib_layout.h"
#include "platform/dib_render.h"
#include "platform/palette.h"

namespace pk {

namespace {

bool IsConvertibleDepth(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

void StoreEntry(uint8_t* entry, const platform::PaletteEntry& e) {
  entry[0] = e.blue;
  entry[1] = e.green;
  entry[2] = e.red;
  entry[3] = e.flags;
}

// The source's colour entries that its block really holds: DibColorCount
// entries as placed (a table of 16384 entries or more wraps its 16-bit size),
// at most as many as its depth can index, and never past the block's end.
Bytes SourceColors(Bytes source, const BitmapInfoHeader& h) {
  uint32_t available = DibColorTableSize(h) / 4;
  uint64_t inBlock = source.size() > kBitmapInfoHeaderSize ? (source.size() - kBitmapInfoHeaderSize) / 4 : 0;
  uint32_t entries = std::min({DibColorCount(h), available, DibIndexableColors(h.biBitCount)});
  entries = uint32_t(std::min<uint64_t>(entries, inBlock));
  return source.subspan(kBitmapInfoHeaderSize, size_t(entries) * 4);
}

}  // namespace

void InitDibColorTable(MutableBytes target, Bytes source) {
  if (target.size() < kConvertScratchSize) return;
  const uint16_t targetBits = BitmapInfoHeader::Read(target)->biBitCount;
  uint8_t* table = target.data() + kBitmapInfoHeaderSize;
  auto sourceHeader = BitmapInfoHeader::Read(source);
  const bool sameDepth = sourceHeader && sourceHeader->biBitCount == targetBits;

  switch (targetBits) {
    case 1:
      // Always black and white, whatever colours a 1-bit source has.
      StoreEntry(table, {0, 0, 0, 0});
      StoreEntry(table + 4, {255, 255, 255, 0});
      break;
    case 4:
    case 8:
      if (sameDepth) {
        // Entry for entry; a shorter source table leaves the rest black,
        // where no source pixel looks.
        Bytes colors = SourceColors(source, *sourceHeader);
        std::memset(table, 0, size_t(DibIndexableColors(targetBits)) * 4);
        std::memcpy(table, colors.data(), colors.size());
      } else {
        auto palette = targetBits == 4 ? platform::DefaultPaletteEntries(16) : platform::HalftonePalette();
        palette.resize(DibIndexableColors(targetBits));
        for (size_t i = 0; i < palette.size(); ++i) StoreEntry(table + 4 * i, palette[i]);
      }
      break;
    default:
      break;  // direct colour: no table
  }
}

PackedDib ConvertDib(Bytes source, int32_t width, int32_t height, uint32_t bitCount, bool stretch) {
  // The source must be a picture the drawing can take: 40-byte header,
  // uncompressed, bottom-up, one plane of a depth GDI draws, and every row
  // inside the block.
  auto h = BitmapInfoHeader::Read(source);
  if (!h || h->biSize != kBitmapInfoHeaderSize || h->biWidth <= 0 || h->biHeight <= 0 ||
      h->biPlanes != 1 || h->biCompression != 0 || !IsConvertibleDepth(h->biBitCount)) {
    return {};
  }
  auto sourceParts = MeasureDib(*h, DibRows::Plain);
  if (!sourceParts || !sourceParts->FitsIn(source.size())) return {};
  if (width <= 0 || height <= 0 || width > kMaxConvertSide || height > kMaxConvertSide ||
      !IsConvertibleDepth(bitCount)) {
    return {};
  }

  // 1. The target header in the scratch block, 2. its colour table.
  std::vector<uint8_t> scratch(kConvertScratchSize, 0);
  BitmapInfoHeader target;
  target.biSize = kBitmapInfoHeaderSize;
  target.biWidth = width;
  target.biHeight = height;
  target.biPlanes = 1;
  target.biBitCount = uint16_t(bitCount);
  target.Write(scratch.data());
  InitDibColorTable(scratch, source);

  // The drawing sees the source with its whole colour table: a table shorter
  // than the depth indexes is filled up with black, so pixels past the end of
  // the file's table are black on every platform and never read beyond it.
  const uint32_t sourceEntries = DibIndexableColors(h->biBitCount);
  std::vector<uint8_t> sourceInfo(kBitmapInfoHeaderSize + size_t(sourceEntries) * 4, 0);
  BitmapInfoHeader drawn = *h;
  drawn.biClrUsed = 0;
  drawn.Write(sourceInfo.data());
  Bytes colors = SourceColors(source, *h);
  std::memcpy(sourceInfo.data() + kBitmapInfoHeaderSize, colors.data(), colors.size());

  const uint32_t targetEntries = DibIndexableColors(bitCount);
  // At most 1024 x 1024 pixels of 32 bits: 4 MiB of rows.
  const DibParts targetParts = *MeasureDib(target, DibRows::Plain);
  PackedDib result = PackedDib::Allocate(uint32_t(kConvertScratchSize + targetParts.pixelBytes));
  if (!result) return {};
  std::memcpy(result.data.get(), scratch.data(), kConvertScratchSize);

  platform::RenderMode mode = platform::RenderMode::Copy;
  if ((width != h->biWidth || height != h->biHeight) && stretch) mode = platform::RenderMode::Stretch;
  bool ok = platform::RenderDib(
      sourceInfo, source.subspan(size_t(sourceParts->pixels), size_t(sourceParts->pixelBytes)),
      Bytes(scratch.data(), kBitmapInfoHeaderSize + size_t(targetEntries) * 4),
      MutableBytes(result.data.get() + targetParts.pixels, size_t(targetParts.pixelBytes)), mode);
  if (!ok) return {};
  return result;
}

}  // namespace pk
