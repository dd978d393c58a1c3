#include "codec/bmp_file.h"

#include <cstring>

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
    case BmpFault::TopDownOrEmpty: return msg::kBmpUnknownFormat;
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

Result<PackedDib, BmpFault> ReadBmpFile(platform::File& file) {
  uint8_t fileHeader[kBitmapFileHeaderSize];
  if (!platform::ReadExactly(file, fileHeader, sizeof fileHeader)) return BmpFault::FileHeaderShort;
  ByteCursor c(Bytes(fileHeader, sizeof fileHeader));
  const uint16_t type = c.U16();
  c.Skip(4);  // bfSize, which nothing relies on
  const uint16_t reserved1 = c.U16(), reserved2 = c.U16();
  const uint32_t offBits = c.U32();
  if (type != kBitmapFileType || reserved1 != 0 || reserved2 != 0) return BmpFault::NotBitmap;

  PackedDib info = PackedDib::Allocate(44);
  if (!info) return BmpFault::InfoAlloc;
  if (!platform::ReadExactly(file, info.data.get(), kBitmapInfoHeaderSize)) return BmpFault::InfoHeaderShort;
  const BitmapInfoHeader h = *BitmapInfoHeader::Read(info.bytes());
  if (h.biSize != kBitmapInfoHeaderSize) return BmpFault::NotInfoHeader;

  // Everything below is measured from the header, so it is checked against
  // the file before a byte is allocated for it. A top-down picture (negative
  // height) or an empty one is not a layout this reader knows.
  if (h.biWidth <= 0 || h.biHeight <= 0) return BmpFault::TopDownOrEmpty;
  const uint64_t length = file.Length();
  const uint32_t tableSize = DibColorTableSize(h);
  const uint64_t tableStart = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
  if (!RangeFits(tableStart, tableSize, length)) return BmpFault::ColorTableOutside;
  // The position is a signed 32-bit value: a larger offset cannot be reached.
  if (offBits > kMaxPositiveOffset) return BmpFault::OffsetNegative;
  // A row length that overflows the format's 32-bit arithmetic cannot
  // describe rows that any file holds.
  auto parts = MeasureDib(h, DibRows::Plain);
  if (!parts) return BmpFault::RowTooLong;
  const uint64_t pixelStart = offBits != 0 ? offBits : tableStart + tableSize;
  if (!RangeFits(pixelStart, parts->pixelBytes, length)) return BmpFault::RowsOutside;
  PackedDib dib = parts->end <= UINT32_MAX ? PackedDib::Allocate(uint32_t(parts->end)) : PackedDib{};
  if (!dib) return BmpFault::PixelAlloc;
  std::memcpy(dib.data.get(), info.data.get(), kBitmapInfoHeaderSize);

  if (tableSize != 0 && !platform::ReadExactly(file, dib.data.get() + kBitmapInfoHeaderSize, tableSize))
    return BmpFault::ColorTableShort;
  // Rows are read from bfOffBits when it is set (skipping any gap behind the
  // colour table), else straight on from where the table ended.
  if (offBits != 0 && !file.SeekFromStart(int32_t(offBits))) return BmpFault::SeekFailed;
  if (!platform::ReadExactly(file, dib.data.get() + parts->pixels, uint32_t(parts->pixelBytes)))
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
