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
  uint8_t word[2];
  if (!ReadExactly(file, word, 2) || LoadU16(word) != 0) return -1;  // reserved
  if (!ReadExactly(file, word, 2) || LoadU16(word) != 1) return -1;  // type: icon
  if (!ReadExactly(file, word, 2)) return -1;
  return LoadU16(word);
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

std::unique_ptr<IconSet> LoadIconFile(const char* path) {
  auto file = platform::OpenFileForRead(path);
  if (!file) {
    Report(msg::kIcoOpenFailed, path);
    return nullptr;
  }
  auto set = NewIconSet(1);
  if (!set) {
    Report(msg::kIcoAllocFailed, path);
    return nullptr;
  }
  int32_t count = ReadIconFileHeader(*file);
  if (count < 0) {
    Report(msg::kIcoHeaderFailed, path);
    return nullptr;
  }
  try {
    set->images.resize(uint32_t(count));
  } catch (const std::bad_alloc&) {
    Report(msg::kIcoReallocFailed, path);
    return nullptr;
  }
  set->imageCount = uint32_t(count);
  SetRecordPath(set->iconFilePath, path);
  SetRecordPath(set->moduleFilePath, "");

  // At most 65535 entries of 16 bytes: the directory's size is bounded by the
  // header's 16-bit count, whatever the file claims.
  const uint32_t directorySize = uint32_t(count) * kIconFileEntrySize;
  std::unique_ptr<uint8_t[]> directory(new (std::nothrow) uint8_t[directorySize ? directorySize : 1]);
  if (!directory) {
    Report(msg::kIcoDirectoryAllocFailed, path);
    return nullptr;
  }
  if (!ReadExactly(*file, directory.get(), directorySize)) {
    Report(msg::kIcoDirectoryReadFailed, path);
    return nullptr;
  }

  const uint64_t fileLength = file->Length();
  for (uint32_t i = 0; i < uint32_t(count); ++i) {
    const uint8_t* entry = directory.get() + uint64_t(i) * kIconFileEntrySize;
    const uint32_t size = LoadU32(entry + 8);
    const uint32_t offset = LoadU32(entry + 12);
    IconSetImage& image = set->images[i];
    // The position is a signed 32-bit value, as Windows takes it: an offset of
    // 2 GiB or more is a negative position and the move fails.
    if (static_cast<int32_t>(offset) < 0) {
      Report(msg::kIcoSeekFailed, path);
      return nullptr;
    }
    // Never allocate from a size the file cannot hold: such an image could
    // only be read short. An image placed over the header or the directory
    // is not an image either.
    if (!RangeFits(offset, size, fileLength) || offset < kIconFileHeaderSize + directorySize) {
      Report(msg::kIcoImageReadFailed, path);
      return nullptr;
    }
    image.data.reset(new (std::nothrow) uint8_t[size ? size : 1]);
    if (!image.data) {
      Report(msg::kIcoReallocFailed, path);
      return nullptr;
    }
    image.dataSize = size;
    if (!file->SeekFromStart(static_cast<int32_t>(offset))) {
      Report(msg::kIcoSeekFailed, path);
      return nullptr;
    }
    if (!ReadExactly(*file, image.data.get(), size)) {
      Report(msg::kIcoImageReadFailed, path);
      return nullptr;
    }
    if (!BindIconImage(&image)) {
      Report(msg::kIcoBindFailed, path);
      return nullptr;
    }
  }
  return set;
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
  if (!bytes) return false;

  auto file = platform::CreateReplacementFile(path);
  if (!file) {
    Report(msg::kIcoCreateFailed, path);
    return false;
  }
  if (!WriteExactly(*file, bytes->data(), kIconFileHeaderSize)) {
    Report(msg::kIcoHeaderWriteFailed, path);
    return false;
  }
  // Directory and images in one piece: a failure there has no message of its own.
  const uint32_t rest = uint32_t(bytes->size() - kIconFileHeaderSize);
  if (rest != 0 && !WriteExactly(*file, bytes->data() + kIconFileHeaderSize, rest)) return false;
  return file->Commit();
}

}  // namespace pk
