#include "codec/ico_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "codec_messages.h"
#include "platform/message_box.h"

namespace pk {

using platform::ReadExactly;
using platform::WriteExactly;

namespace {

void Report(const char* message, const char* path) {
  platform::ShowMessage(platform::Owner::MainWindow, message, path);
}

}  // namespace

int32_t ReadIconFileHeader(platform::File& file) {
  // Word by word, as a short file fails at the first word it lacks.
  uint8_t bytes[kIconFileHeaderSize];
  for (size_t at = 0; at < kIconFileHeaderSize; at += 2)
    if (!ReadExactly(file, bytes + at, 2)) return -1;
  auto header = ReadIconDirHeader(Bytes(bytes, sizeof bytes));
  if (!header || header->reserved != 0 || header->type != kIconDirTypeIcon) return -1;
  return header->count;
}

bool WriteIconFileHeader(platform::File& file, uint32_t imageCount) {
  const uint16_t words[3] = {0, 1, uint16_t(imageCount)};
  for (uint16_t w : words) {
    uint8_t bytes[2];
    StoreU16(bytes, w);
    if (!WriteExactly(file, bytes, 2)) return false;
  }
  return true;
}

uint64_t ImageFileOffset(const IconSet& set, uint32_t index) {
  uint64_t offset = kIconFileHeaderSize + uint64_t(kIconFileEntrySize) * set.imageCount;
  for (uint32_t i = 0; i < index && i < set.imageCount; ++i) offset += set.images[i].dataSize;
  return offset;
}

void FillIconFileEntry(const IconSetImage& image, uint32_t offset, uint8_t* entry) {
  std::memset(entry, 0, kIconFileEntrySize);
  uint16_t planes, bitCount;
  if (image.format == ImageFormat::Png) {
    // A PNG image has no DIB header: describe it from its own IHDR.
    entry[0] = uint8_t(image.width);
    entry[1] = uint8_t(image.height);
    planes = 1;
    bitCount = uint16_t(image.bitCount);
    entry[2] = 0;
  } else {
    BitmapInfoHeader h = image.Header();
    entry[0] = uint8_t(image.width);   // 256 is written as 0
    entry[1] = uint8_t(image.height);
    planes = h.biPlanes;
    bitCount = h.biBitCount;
    uint32_t bits = uint32_t(h.biPlanes) * h.biBitCount;
    entry[2] = bits < 8 ? uint8_t(1u << bits) : 0;
  }
  StoreU16(entry + 4, planes);
  StoreU16(entry + 6, bitCount);
  StoreU32(entry + 8, image.dataSize);
  StoreU32(entry + 12, offset);
}

const char* IcoFaultMessage(IcoFault fault) {
  switch (fault) {
    case IcoFault::OpenFailed: return msg::kIcoOpenFailed;
    case IcoFault::RecordAlloc: return msg::kIcoAllocFailed;
    case IcoFault::BadHeader: return msg::kIcoHeaderFailed;
    case IcoFault::ImagesAlloc: return msg::kIcoReallocFailed;
    case IcoFault::DirectoryAlloc: return msg::kIcoDirectoryAllocFailed;
    case IcoFault::DirectoryShort: return msg::kIcoDirectoryReadFailed;
    case IcoFault::OffsetNegative: return msg::kIcoSeekFailed;
    case IcoFault::ImageOutsideFile: return msg::kIcoImageReadFailed;
    case IcoFault::ImageOverDirectory: return msg::kIcoImageReadFailed;
    case IcoFault::ImageAlloc: return msg::kIcoReallocFailed;
    case IcoFault::SeekFailed: return msg::kIcoSeekFailed;
    case IcoFault::ImageShort: return msg::kIcoImageReadFailed;
    case IcoFault::ImageFormat: return msg::kIcoBindFailed;
  }
  return msg::kIcoImageReadFailed;
}

Result<std::unique_ptr<IconSet>, IcoFault> ReadIconFile(platform::File& file, const char* path) {
  auto set = NewIconSet(1);
  if (!set) return IcoFault::RecordAlloc;
  int32_t count = ReadIconFileHeader(file);
  if (count < 0) return IcoFault::BadHeader;
  // A directory the file cannot hold is refused before a record of up to
  // 65535 images is made for it.
  if (!RangeFits(kIconFileHeaderSize, uint64_t(count) * kIconFileEntrySize, file.Length()))
    return IcoFault::DirectoryShort;
  try {
    set->images.resize(uint32_t(count));
  } catch (const std::bad_alloc&) {
    return IcoFault::ImagesAlloc;
  }
  set->imageCount = uint32_t(count);
  SetRecordPath(set->iconFilePath, path);
  SetRecordPath(set->moduleFilePath, "");

  // At most 65535 entries of 16 bytes: the directory's size is bounded by the
  // header's 16-bit count, whatever the file claims.
  const uint32_t directorySize = uint32_t(count) * kIconFileEntrySize;
  std::unique_ptr<uint8_t[]> directory(new (std::nothrow) uint8_t[directorySize ? directorySize : 1]);
  if (!directory) return IcoFault::DirectoryAlloc;
  if (!ReadExactly(file, directory.get(), directorySize)) return IcoFault::DirectoryShort;
  const Bytes entries(directory.get(), directorySize);

  const uint64_t fileLength = file.Length();
  for (uint32_t i = 0; i < uint32_t(count); ++i) {
    const IconDirEntry entry = *ReadIconDirEntry(entries, IconDirKind::File, i);
    const uint32_t size = entry.bytesInRes;
    const uint32_t offset = entry.imageOffset;
    IconSetImage& image = set->images[i];
    // The position is a signed 32-bit value, as Windows takes it: an offset of
    // 2 GiB or more is a negative position and the move fails.
    if (static_cast<int32_t>(offset) < 0) return IcoFault::OffsetNegative;
    // Never allocate from a size the file cannot hold: such an image could
    // only be read short. An image placed over the header or the directory
    // is not an image either.
    if (!RangeFits(offset, size, fileLength)) return IcoFault::ImageOutsideFile;
    if (offset < kIconFileHeaderSize + directorySize) return IcoFault::ImageOverDirectory;
    image.data.reset(new (std::nothrow) uint8_t[size ? size : 1]);
    if (!image.data) return IcoFault::ImageAlloc;
    image.dataSize = size;
    if (!file.SeekFromStart(static_cast<int32_t>(offset))) return IcoFault::SeekFailed;
    if (!ReadExactly(file, image.data.get(), size)) return IcoFault::ImageShort;
    if (!BindIconImage(&image)) return IcoFault::ImageFormat;
  }
  return set;
}

std::unique_ptr<IconSet> LoadIconFile(const char* path) {
  auto file = platform::OpenFileForRead(path);
  if (!file) {
    Report(msg::kIcoOpenFailed, path);
    return nullptr;
  }
  auto set = ReadIconFile(*file, path);
  if (!set) {
    Report(IcoFaultMessage(set.reason()), path);
    return nullptr;
  }
  return std::move(*set);
}

bool IconDirectoryFitsFile(const char* path) {
  auto file = platform::OpenFileForRead(path);
  return file && IconDirectoryFitsFile(*file);
}

bool IconDirectoryFitsFile(platform::File& file) {
  const int32_t count = ReadIconFileHeader(file);
  if (count <= 0) return false;
  const uint64_t length = file.Length();
  const uint32_t directorySize = uint32_t(count) * kIconFileEntrySize;
  if (!RangeFits(kIconFileHeaderSize, directorySize, length)) return false;
  std::vector<uint8_t> directory(directorySize);
  if (!ReadExactly(file, directory.data(), directorySize)) return false;
  for (uint32_t i = 0; i < uint32_t(count); ++i) {
    const IconDirEntry entry = *ReadIconDirEntry(Bytes(directory.data(), directorySize), IconDirKind::File, i);
    if (!RangeFits(entry.imageOffset, entry.bytesInRes, length)) return false;
  }
  return true;
}

std::optional<std::vector<uint8_t>> EncodeIconFile(const IconSet& set) {
  const uint32_t count = std::min<uint32_t>(set.imageCount, uint32_t(set.images.size()));
  // Offsets are 32-bit in the format: a record that does not fit cannot be written.
  const uint64_t total = ImageFileOffset(set, count);
  if (total > 0xFFFFFFFFu) return std::nullopt;
  std::vector<uint8_t> out;
  try {
    out.resize(size_t(total));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  StoreU16(out.data(), 0);
  StoreU16(out.data() + 2, 1);
  StoreU16(out.data() + 4, uint16_t(count));
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t offset = ImageFileOffset(set, i);
    FillIconFileEntry(set.images[i], uint32_t(offset), out.data() + kIconFileHeaderSize + i * kIconFileEntrySize);
    const IconSetImage& image = set.images[i];
    if (image.dataSize == 0) continue;
    std::memcpy(out.data() + offset, image.data.get(), image.dataSize);
    // Written headers carry biSizeImage 0; the record keeps its own value.
    if (image.format == ImageFormat::Dib && image.dataSize >= kBitmapInfoHeaderSize)
      StoreU32(out.data() + offset + kBiSizeImageOffset, 0);
  }
  return out;
}

bool SaveIconFile(const IconSet& set, const char* path) {
  auto bytes = EncodeIconFile(set);
  if (!bytes) {
    Report(msg::kIcoWriteFailed, path);
    return false;
  }

  auto file = platform::CreateReplacementFile(path);
  if (!file) {
    Report(msg::kIcoCreateFailed, path);
    return false;
  }
  // Every failure from here on is said too: the old file survives it, but
  // the user must not believe it saved. The temporary file is gone first.
  auto fail = [&](const char* message) {
    file.reset();
    Report(message, path);
    return false;
  };
  if (!WriteExactly(*file, bytes->data(), kIconFileHeaderSize)) return fail(msg::kIcoHeaderWriteFailed);
  // Directory and images in one piece.
  const uint32_t rest = uint32_t(bytes->size() - kIconFileHeaderSize);
  if (rest != 0 && !WriteExactly(*file, bytes->data() + kIconFileHeaderSize, rest)) return fail(msg::kIcoWriteFailed);
  if (auto committed = file->Commit(); !committed) {
    // A target that is read-only or held open cannot be made anew.
    return fail(committed.reason() == platform::CommitFault::TargetRefused ? msg::kIcoCreateFailed
                                                                           : msg::kIcoWriteFailed);
  }
  return true;
}

}  // namespace pk
