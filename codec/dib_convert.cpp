#include "codec/dib_convert.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/dib_format.h"
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

// The source's colour entries that its block really holds: those its header
// places, at most as many as its depth can index, never past the block's end.
Bytes SourceColors(Bytes source, const DibFormat& f) {
  const uint64_t inBlock = source.size() > f.tableOffset ? (source.size() - f.tableOffset) / 4 : 0;
  const uint32_t entries = uint32_t(std::min<uint64_t>(f.ColorsUsed(), inBlock));
  return source.subspan(f.tableOffset, size_t(entries) * 4);
}

// Where a source block keeps its pixels: behind its colour table, the rows
// (or, for encoded rows, biSizeImage bytes of stream). None when they are not
// all inside the block.
std::optional<Bytes> SourcePixels(Bytes source, const DibFormat& f) {
  const uint64_t length = f.Compressed() ? f.header.biSizeImage : f.RowBytes();
  if (f.Compressed() && length == 0) return std::nullopt;
  return ByteReader(source).Sub(f.TableEnd(), length);
}

// The header the drawing gets for a source: 40 bytes, or a BITMAPV4HEADER
// carrying the four masks of bit fields; rows stored as in the block, the
// table counted whole (biClrUsed 0) and an encoded stream's length in
// biSizeImage.
std::vector<uint8_t> DrawnHeader(const DibFormat& f, uint64_t pixelBytes) {
  BitmapInfoHeader h = f.header;
  h.biSize = f.BitFields() ? kBitmapV4HeaderSize : kBitmapInfoHeaderSize;
  h.biSizeImage = f.Compressed() ? uint32_t(pixelBytes) : 0;
  h.biClrUsed = 0;
  h.biClrImportant = 0;
  std::vector<uint8_t> header(h.biSize, 0);
  h.Write(header.data());
  if (f.BitFields()) {
    StoreU32(header.data() + kDibMasksOffset, f.masks.red);
    StoreU32(header.data() + kDibMasksOffset + 4, f.masks.green);
    StoreU32(header.data() + kDibMasksOffset + 8, f.masks.blue);
    StoreU32(header.data() + kDibAlphaMaskOffset, f.masks.alpha);
    StoreU32(header.data() + kDibAlphaMaskOffset + 4, kLcsSrgb);
  }
  return header;
}

}  // namespace

void InitDibColorTable(MutableBytes target, Bytes source) {
  if (target.size() < kConvertScratchSize) return;
  const uint16_t targetBits = BitmapInfoHeader::Read(target)->biBitCount;
  uint8_t* table = target.data() + kBitmapInfoHeaderSize;
  auto sourceFormat = ReadDibFormat(source);
  const bool sameDepth = sourceFormat && sourceFormat->bitCount == targetBits;

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
        Bytes colors = SourceColors(source, *sourceFormat);
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
  // The source must be a picture the drawing can take, with its colour table
  // and every row (or its whole encoded stream) inside the block.
  auto format = ReadDibFormat(source);
  if (!format) return {};
  auto pixels = SourcePixels(source, *format);
  if (!pixels) return {};
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
  const uint32_t sourceEntries = format->BitFields() ? 0 : DibIndexableColors(format->bitCount);
  std::vector<uint8_t> sourceInfo = DrawnHeader(*format, pixels->size());
  const size_t sourceHeaderSize = sourceInfo.size();
  sourceInfo.resize(sourceHeaderSize + size_t(sourceEntries) * 4, 0);
  Bytes colors = SourceColors(source, *format);
  std::memcpy(sourceInfo.data() + sourceHeaderSize, colors.data(), colors.size());

  const uint32_t targetEntries = DibIndexableColors(bitCount);
  // At most 1024 x 1024 pixels of 32 bits: 4 MiB of rows.
  const DibParts targetParts = *MeasureDib(target, DibRows::Plain);
  PackedDib result = PackedDib::Allocate(uint32_t(kConvertScratchSize + targetParts.pixelBytes));
  if (!result) return {};
  std::memcpy(result.data.get(), scratch.data(), kConvertScratchSize);

  platform::RenderMode mode = platform::RenderMode::Copy;
  if ((width != format->width || height != format->height) && stretch) mode = platform::RenderMode::Stretch;
  bool ok = platform::RenderDib(
      sourceInfo, *pixels,
      Bytes(scratch.data(), kBitmapInfoHeaderSize + size_t(targetEntries) * 4),
      MutableBytes(result.data.get() + targetParts.pixels, size_t(targetParts.pixelBytes)), mode);
  if (!ok) return {};
  return result;
}

}  // namespace pk
