// Icon files (.ico): a 6-byte header, a directory of 16-byte entries, then
// each image's bytes. Images are carried byte for byte; nothing is decoded.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/icon_directory.h"
#include "base/result.h"
#include "codec/icon_set.h"
#include "platform/file.h"

namespace pk {

inline constexpr uint32_t kIconFileHeaderSize = kIconDirHeaderSize;

// Why an .ico file was refused; each reason has the program's message
// (IcoFaultMessage).
enum class IcoFault {
  OpenFailed,          // the file cannot be opened
  RecordAlloc,         // no memory for the record
  BadHeader,           // header short, reserved word not 0 or type not 1
  ImagesAlloc,         // no memory for the record's image entries
  DirectoryAlloc,      // no memory for the directory
  DirectoryShort,      // the directory is cut short by the end of the file
  OffsetNegative,      // an image offset of 2 GiB or more: a negative position
  ImageOutsideFile,    // an image reaching past the end of the file
  ImageOverDirectory,  // an image placed over the header or the directory
  ImageAlloc,          // no memory for an image's bytes
  SeekFailed,          // the move to an image failed
  ImageShort,          // an image read short
  ImageFormat,         // an image whose bytes cannot be bound (see ImageFault)
};

// The program's message for a refusal.
const char* IcoFaultMessage(IcoFault fault);

// Reads an .ico file from `file` into a new record whose iconFilePath is
// `path`. Shows nothing.
Result<std::unique_ptr<IconSet>, IcoFault> ReadIconFile(platform::File& file, const char* path);

// Opens and reads an .ico file into a new record; none after a failure it has
// already shown (caption: the path; owner: the main window).
std::unique_ptr<IconSet> LoadIconFile(const char* path);

// Writes the record as an .ico file: header, directory, images back to back,
// every DIB header with biSizeImage 0. A failure is shown (caption: the path;
// owner: the main window) and leaves any existing file of that name as it was.
// The record is not changed.
bool SaveIconFile(const IconSet& set, const char* path);

// The bytes SaveIconFile writes for the record; none when the record does not
// fit the format's 32-bit offsets or memory cannot be had.
std::optional<std::vector<uint8_t>> EncodeIconFile(const IconSet& set);

// True when the file opens and begins with an icon directory (reserved word
// 0, type 1, at least one entry) whose entries and images all lie inside the
// file. The shell's icon extraction reads wherever a directory points, so it
// is asked only about such files.
bool IconDirectoryFitsFile(const char* path);
// The same question about a file already open, read from its position.
bool IconDirectoryFitsFile(platform::File& file);

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
