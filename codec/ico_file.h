// Icon files (.ico): a 6-byte header, a directory of 16-byte entries, then
// each image's bytes. Images are carried byte for byte; nothing is decoded.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "codec/icon_set.h"
#include "platform/file.h"

namespace pk {

inline constexpr uint32_t kIconFileHeaderSize = 6;
inline constexpr uint32_t kIconFileEntrySize = 16;

// Reads an .ico file into a new record; none after a failure it has already
// shown (caption: the path; owner: the main window).
std::unique_ptr<IconSet> LoadIconFile(const char* path);

// Writes the record as an .ico file: header, directory, images back to back,
// every DIB header with biSizeImage 0. A failure leaves any existing file of
// that name as it was. The record is not changed.
bool SaveIconFile(const IconSet& set, const char* path);

// The bytes SaveIconFile writes for the record; none when the record does not
// fit the format's 32-bit offsets or memory cannot be had.
std::optional<std::vector<uint8_t>> EncodeIconFile(const IconSet& set);

// Reads the 6-byte header at the file's position: the image count, or -1 when
// it is short, its reserved word is not 0 or its type is not 1.
int32_t ReadIconFileHeader(platform::File& file);

// Writes the header words 0, 1 and the low 16 bits of `imageCount`.
bool WriteIconFileHeader(platform::File& file, uint32_t imageCount);

// Where SaveIconFile puts image i: behind the directory, after images 0..i-1.
uint64_t ImageFileOffset(const IconSet& set, uint32_t index);

// The 16-byte directory entry that SaveIconFile writes for an image.
void FillIconFileEntry(const IconSetImage& image, uint32_t offset, uint8_t* entry);

}  // namespace pk
