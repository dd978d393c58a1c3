#include "codec/bmp_file.h"

#include <cstring>

#include "codec/dib.h"
#include "codec_messages.h"
#include "platform/file.h"
#include "platform/message_box.h"

namespace pk {

namespace {

// Bitmap-file messages have no owner window.
void Report(const char* text, const char* path) {
  platform::ShowMessage(platform::Owner::None, text, path);
}

// Bytes per row without the 32-bit wrap of DibRowStride.
uint64_t TrueRowStride(const BitmapInfoHeader& h) {
  uint64_t bits = uint64_t(h.biBitCount) * h.biPlanes * uint64_t(int64_t(h.biWidth));
  return ((bits + 31) / 32) * 4;
}

}  // namespace

PackedDib LoadBmpFile(const char* path) {
  auto file = platform::OpenFileForRead(path);
  if (!file) {
    Report(msg::kBmpOpenFailed, path);
    return {};
  }

  uint8_t fileHeader[kBitmapFileHeaderSize];
  if (!platform::ReadExactly(*file, fileHeader, sizeof fileHeader)) {
    Report(msg::kBmpFileHeaderFailed, path);
    return {};
  }
  if (LoadU16(fileHeader) != kBitmapFileType || LoadU16(fileHeader + 6) != 0 ||
      LoadU16(fileHeader + 8) != 0) {
    Report(msg::kBmpUnknownFormat, path);
    return {};
  }
  uint32_t offBits = LoadU32(fileHeader + 10);

  PackedDib info = PackedDib::Allocate(44);
  if (!info) {
    Report(msg::kBmpAllocFailed, path);
    return {};
  }
  if (!platform::ReadExactly(*file, info.data.get(), kBitmapInfoHeaderSize)) {
    Report(msg::kBmpInfoHeaderFailed, path);
    return {};
  }
  BitmapInfoHeader h = *BitmapInfoHeader::Read(info.bytes());
  if (h.biSize != kBitmapInfoHeaderSize) {
    Report(msg::kBmpOs2Unsupported, path);
    return {};
  }

  // Everything below is measured from the header, so it is checked against
  // the file before a byte is allocated for it. A top-down picture (negative
  // height) or an empty one is not a layout this reader knows.
  if (h.biWidth <= 0 || h.biHeight <= 0) {
    Report(msg::kBmpUnknownFormat, path);
    return {};
  }
  const uint64_t length = file->Length();
  const uint32_t tableSize = DibColorTableSize(h);
  const uint64_t tableStart = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
  if (!RangeFits(tableStart, tableSize, length)) {
    Report(msg::kBmpColorTableFailed, path);
    return {};
  }
  // The position is a signed 32-bit value: a larger offset cannot be reached.
  if (offBits > uint32_t(INT32_MAX)) {
    Report(msg::kBmpSeekFailed, path);
    return {};
  }
  const uint64_t stride = TrueRowStride(h);
  const uint64_t pixelBytes = stride * uint32_t(h.biHeight);  // < 2^62
  const uint64_t pixelStart = offBits != 0 ? offBits : tableStart + tableSize;
  // A stride that overflows the format's 32-bit arithmetic cannot describe
  // rows that any file holds.
  if (uint64_t(uint32_t(DibRowStride(h))) != stride || !RangeFits(pixelStart, pixelBytes, length)) {
    Report(msg::kBmpPixelsFailed, path);
    return {};
  }
  const uint64_t total = kBitmapInfoHeaderSize + tableSize + pixelBytes;
  PackedDib dib = total <= UINT32_MAX ? PackedDib::Allocate(uint32_t(total)) : PackedDib{};
  if (!dib) {
    Report(msg::kBmpReallocFailed, path);
    return {};
  }
  std::memcpy(dib.data.get(), info.data.get(), kBitmapInfoHeaderSize);

  if (tableSize != 0 && !platform::ReadExactly(*file, dib.data.get() + kBitmapInfoHeaderSize, tableSize)) {
    Report(msg::kBmpColorTableFailed, path);
    return {};
  }
  // Rows are read from bfOffBits when it is set (skipping any gap behind the
  // colour table), else straight on from where the table ended.
  if (offBits != 0 && !file->SeekFromStart(int32_t(offBits))) {
    Report(msg::kBmpSeekFailed, path);
    return {};
  }
  if (!platform::ReadExactly(*file, dib.data.get() + DibPixelStart(h), uint32_t(pixelBytes))) {
    Report(msg::kBmpPixelsFailed, path);
    return {};
  }
  return dib;
}

bool SaveBmpFile(const char* path, Bytes image) {
  // The image must hold the whole colour picture that its header describes;
  // nothing is written (and no file made) from bytes that are not there.
  auto h = BitmapInfoHeader::Read(image);
  if (!h || h->biSize < kBitmapInfoHeaderSize || h->biWidth < 0 || h->biHeight < 0) {
    Report(msg::kBmpWriteFailed, path);
    return false;
  }
  const int32_t rows = h->biHeight / 2;
  const uint32_t tableSize = DibColorTableSize(*h);
  const uint64_t stride = TrueRowStride(*h);
  const uint64_t rowBytes = stride * uint32_t(rows);
  // Colour table and rows sit behind the header at its own length; the file
  // always gets a 40-byte header, so a longer one is cut to its first 40 bytes.
  const uint64_t tableStart = h->biSize;
  const uint64_t pixelStart = tableStart + tableSize;
  const uint64_t fileSize = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + tableSize + rowBytes;
  if (uint64_t(uint32_t(DibRowStride(*h))) != stride || !RangeFits(pixelStart, rowBytes, image.size()) ||
      fileSize > UINT32_MAX) {
    Report(msg::kBmpWriteFailed, path);
    return false;
  }

  auto file = platform::CreateReplacementFile(path);
  if (!file) {
    Report(msg::kBmpCreateFailed, path);
    return false;
  }

  uint8_t fileHeader[kBitmapFileHeaderSize] = {};
  const uint32_t offBits = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + tableSize;
  StoreU16(fileHeader, kBitmapFileType);
  StoreU32(fileHeader + 2, uint32_t(fileSize));  // the size of the file, as the format defines it
  StoreU32(fileHeader + 10, offBits);
  if (!platform::WriteExactly(*file, fileHeader, sizeof fileHeader)) {
    Report(msg::kBmpFileHeaderWriteFailed, path);
    return false;
  }

  // Header (true height), colour table and colour rows go out as one piece,
  // assembled in a copy so the image itself is never touched.
  PackedDib body = PackedDib::Allocate(uint32_t(fileSize - kBitmapFileHeaderSize));
  if (!body) {
    Report(msg::kBmpWriteFailed, path);
    return false;
  }
  BitmapInfoHeader out = *h;
  out.biSize = kBitmapInfoHeaderSize;
  out.biHeight = rows;
  out.Write(body.data.get());
  std::memcpy(body.data.get() + kBitmapInfoHeaderSize, image.data() + tableStart,
              size_t(tableSize + rowBytes));
  if (!platform::WriteExactly(*file, body.data.get(), body.size) || !file->Commit()) {
    Report(msg::kBmpWriteFailed, path);
    return false;
  }
  return true;
}

}  // namespace pk
