#include "codec/bmp_file.h"

#include <cstring>

#include "base/dib_format.h"
#include "codec_messages.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace pk {

namespace {

// Bitmap-file messages have no owner window.
void Report(const char* text, const char* path) {
  platform::ShowMessage(platform::Owner::None, text, path);
}

constexpr uint32_t kMaxPositiveOffset = uint32_t(INT32_MAX);

}  // namespace

const char* BmpFaultMessage(BmpFault fault) {
  switch (fault) {
    case BmpFault::OpenFailed: return msg::kBmpOpenFailed;
    case BmpFault::FileHeaderShort: return msg::kBmpFileHeaderFailed;
    case BmpFault::NotBitmap: return msg::kBmpUnknownFormat;
    case BmpFault::InfoAlloc: return msg::kBmpAllocFailed;
    case BmpFault::InfoHeaderShort: return msg::kBmpInfoHeaderFailed;
    case BmpFault::NotInfoHeader: return msg::kBmpOs2Unsupported;
    case BmpFault::UnknownHeader: return msg::kBmpHeaderUnknown;
    case BmpFault::BadSize: return msg::kBmpSizeInvalid;
    case BmpFault::Planes: return msg::kBmpPlanesUnsupported;
    case BmpFault::DepthUnsupported: return msg::kBmpDepthUnsupported;
    case BmpFault::DepthInvalid: return msg::kBmpDepthInvalid;
    case BmpFault::Jpeg: return msg::kBmpJpegUnsupported;
    case BmpFault::Png: return msg::kBmpPngUnsupported;
    case BmpFault::CompressionUnknown: return msg::kBmpCompressionUnknown;
    case BmpFault::CompressionDepth: return msg::kBmpCompressionDepth;
    case BmpFault::TopDownCompressed: return msg::kBmpTopDownCompressed;
    case BmpFault::MasksInvalid: return msg::kBmpMasksInvalid;
    case BmpFault::TooLarge: return msg::kBmpTooLarge;
    case BmpFault::ColorTableOutside: return msg::kBmpColorTableFailed;
    case BmpFault::OffsetNegative: return msg::kBmpSeekFailed;
    case BmpFault::RowTooLong: return msg::kBmpPixelsFailed;
    case BmpFault::RowsOutside: return msg::kBmpPixelsFailed;
    case BmpFault::PixelAlloc: return msg::kBmpReallocFailed;
    case BmpFault::ColorTableShort: return msg::kBmpColorTableFailed;
    case BmpFault::SeekFailed: return msg::kBmpSeekFailed;
    case BmpFault::RowsShort: return msg::kBmpPixelsFailed;
  }
  return msg::kBmpPixelsFailed;
}

namespace {

BmpFault FaultOf(DibFormatFault fault) {
  switch (fault) {
    case DibFormatFault::HeaderShort: return BmpFault::InfoHeaderShort;
    case DibFormatFault::Os2Header: return BmpFault::NotInfoHeader;
    case DibFormatFault::UnknownHeader: return BmpFault::UnknownHeader;
    case DibFormatFault::BadSize: return BmpFault::BadSize;
    case DibFormatFault::Planes: return BmpFault::Planes;
    case DibFormatFault::DepthUnsupported: return BmpFault::DepthUnsupported;
    case DibFormatFault::DepthInvalid: return BmpFault::DepthInvalid;
    case DibFormatFault::Jpeg: return BmpFault::Jpeg;
    case DibFormatFault::Png: return BmpFault::Png;
    case DibFormatFault::CompressionUnknown: return BmpFault::CompressionUnknown;
    case DibFormatFault::CompressionDepth: return BmpFault::CompressionDepth;
    case DibFormatFault::TopDownCompressed: return BmpFault::TopDownCompressed;
    case DibFormatFault::MasksInvalid: return BmpFault::MasksInvalid;
    case DibFormatFault::RowTooLong: return BmpFault::RowTooLong;
    case DibFormatFault::TooLarge: return BmpFault::TooLarge;
  }
  return BmpFault::UnknownHeader;
}

}  // namespace

Result<PackedDib, BmpFault> ReadBmpFile(platform::File& file) {
  uint8_t fileHeader[kBitmapFileHeaderSize];
  if (!platform::ReadExactly(file, fileHeader, sizeof fileHeader)) return BmpFault::FileHeaderShort;
  ByteCursor c(Bytes(fileHeader, sizeof fileHeader));
  const uint16_t type = c.U16();
  c.Skip(4);  // bfSize, which nothing relies on
  const uint16_t reserved1 = c.U16(), reserved2 = c.U16();
  const uint32_t offBits = c.U32();
  if (type != kBitmapFileType || reserved1 != 0 || reserved2 != 0) return BmpFault::NotBitmap;

  // The header's length comes first and says what kind it is, and so how
  // much more to read; a 40-byte header with bit fields has its masks behind it.
  PackedDib info = PackedDib::Allocate(kBitmapV5HeaderSize);
  if (!info) return BmpFault::InfoAlloc;
  if (!platform::ReadExactly(file, info.data.get(), 4)) return BmpFault::InfoHeaderShort;
  const uint32_t headerSize = LoadU32(info.data.get());
  switch (ClassifyDibHeader(headerSize)) {
    case DibHeaderKind::Os2: return BmpFault::NotInfoHeader;
    case DibHeaderKind::Unknown: return BmpFault::UnknownHeader;
    case DibHeaderKind::Windows: break;
  }
  if (!platform::ReadExactly(file, info.data.get() + 4, headerSize - 4)) return BmpFault::InfoHeaderShort;
  const uint32_t headerBytes = DibHeaderBytes(*BitmapInfoHeader::Read(info.bytes()));
  if (headerBytes > headerSize &&
      !platform::ReadExactly(file, info.data.get() + headerSize, headerBytes - headerSize)) {
    return BmpFault::InfoHeaderShort;
  }
  auto format = ReadDibFormat(Bytes(info.data.get(), headerBytes));
  if (!format) return FaultOf(format.reason());

  // Everything below is measured from the header, so it is checked against
  // the file before a byte is allocated for it. The table sits at the
  // header's end; only the entries pixels can reach are kept.
  const uint64_t length = file.Length();
  const uint64_t tableStart = kBitmapFileHeaderSize + uint64_t(headerBytes);
  const uint32_t entries = format->ColorsUsed();
  if (!RangeFits(tableStart, uint64_t(entries) * 4, length)) return BmpFault::ColorTableOutside;
  // The position is a signed 32-bit value: a larger offset cannot be reached.
  if (offBits > kMaxPositiveOffset) return BmpFault::OffsetNegative;
  // Pixels start at bfOffBits, or without one behind the table as the system
  // sizes it (biClrUsed entries, at most 256, whatever the depth).
  const uint64_t pixelStart = offBits != 0 ? offBits : tableStart + uint64_t(format->tableEntries) * 4;
  uint64_t pixelBytes = format->RowBytes();
  if (format->Compressed()) {
    // The stream is biSizeImage long, or runs to the end of the file when
    // the header leaves it 0.
    pixelBytes = format->header.biSizeImage;
    if (pixelBytes == 0 && pixelStart < length) pixelBytes = length - pixelStart;
    if (pixelBytes == 0) return BmpFault::RowsOutside;
  }
  if (!RangeFits(pixelStart, pixelBytes, length)) return BmpFault::RowsOutside;
  const uint64_t blockSize = format->tableOffset + uint64_t(entries) * 4 + pixelBytes;
  PackedDib dib = blockSize <= UINT32_MAX ? PackedDib::Allocate(uint32_t(blockSize)) : PackedDib{};
  if (!dib) return BmpFault::PixelAlloc;

  // The block describes itself: its table holds the entries kept, and an
  // encoded stream's length is in the header.
  std::memcpy(dib.data.get(), info.data.get(), headerBytes);
  const uint32_t clrUsed = format->header.biClrUsed;
  if ((clrUsed != 0 ? clrUsed : DibIndexableColors(format->bitCount)) != entries)
    StoreU32(dib.data.get() + kBiClrUsedOffset, entries);
  if (format->Compressed()) StoreU32(dib.data.get() + kBiSizeImageOffset, uint32_t(pixelBytes));
  if (entries != 0 && !platform::ReadExactly(file, dib.data.get() + headerBytes, entries * 4))
    return BmpFault::ColorTableShort;
  // Rows are read from bfOffBits when it is set (skipping any gap behind the
  // colour table), else from behind the table the header sizes.
  const bool moved = offBits != 0 || pixelStart != tableStart + uint64_t(entries) * 4;
  if (moved && !file.SeekFromStart(int32_t(pixelStart))) return BmpFault::SeekFailed;
  if (!platform::ReadExactly(file, dib.data.get() + headerBytes + size_t(entries) * 4, uint32_t(pixelBytes)))
    return BmpFault::RowsShort;
  return dib;
}

PackedDib LoadBmpFile(const char* path) {
  auto file = platform::OpenFileForRead(path);
  if (!file) {
    Report(msg::kBmpOpenFailed, path);
    return {};
  }
  auto dib = ReadBmpFile(*file);
  if (!dib) {
    Report(BmpFaultMessage(dib.reason()), path);
    return {};
  }
  return std::move(*dib);
}

bool SaveBmpFile(const char* path, Bytes image) {
  // The image must hold the whole colour picture that its header describes;
  // nothing is written (and no file made) from bytes that are not there.
  auto h = BitmapInfoHeader::Read(image);
  if (!h || h->biSize < kBitmapInfoHeaderSize || h->biWidth < 0 || h->biHeight < 0) {
    Report(msg::kBmpWriteFailed, path);
    return false;
  }
  // Colour table and rows sit behind the header at its own length; the file
  // always gets a 40-byte header, so a longer one is cut to its first 40 bytes.
  auto parts = MeasureDib(*h, DibRows::IconWithMask);
  const uint32_t tableSize = DibColorTableSize(*h);
  const uint64_t rowBytes = parts ? parts->pixelBytes : 0;
  const uint64_t fileSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + tableSize + rowBytes;
  if (!parts || !RangeFits(parts->pixels, rowBytes, image.size()) || fileSize > UINT32_MAX) {
    Report(msg::kBmpWriteFailed, path);
    return false;
  }

  auto file = platform::CreateReplacementFile(path);
  if (!file) {
    Report(msg::kBmpCreateFailed, path);
    return false;
  }
  // A failure is reported once the temporary file is gone.
  auto fail = [&](const char* message) {
    file.reset();
    Report(message, path);
    return false;
  };

  uint8_t fileHeader[kBitmapFileHeaderSize] = {};
  const uint32_t offBits = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + tableSize;
  StoreU16(fileHeader, kBitmapFileType);
  StoreU32(fileHeader + 2, uint32_t(fileSize));  // the size of the file, as the format defines it
  StoreU32(fileHeader + 10, offBits);
  if (!platform::WriteExactly(*file, fileHeader, sizeof fileHeader)) return fail(msg::kBmpFileHeaderWriteFailed);

  // Header (true height), colour table and colour rows go out as one piece,
  // assembled in a copy so the image itself is never touched.
  PackedDib body = PackedDib::Allocate(uint32_t(fileSize - kBitmapFileHeaderSize));
  if (!body) return fail(msg::kBmpWriteFailed);
  BitmapInfoHeader out = *h;
  out.biSize = kBitmapInfoHeaderSize;
  out.biHeight = parts->rows;
  out.Write(body.data.get());
  std::memcpy(body.data.get() + kBitmapInfoHeaderSize, image.data() + parts->colorTable,
              size_t(tableSize + rowBytes));
  if (!platform::WriteExactly(*file, body.data.get(), body.size)) return fail(msg::kBmpWriteFailed);
  if (auto committed = file->Commit(); !committed) {
    // A target that is read-only or held open cannot be made anew.
    return fail(committed.reason() == platform::CommitFault::TargetRefused ? msg::kBmpCreateFailed
                                                                           : msg::kBmpWriteFailed);
  }
  return true;
}

}  // namespace pk
