// Icon directories: a 6-byte header (reserved 0, type 1 for icons, image
// count) and one entry per image. An .ico file's entries are 16 bytes and end
// with the image's size and file offset; a group-icon resource's entries are
// 14 bytes and end with the size and the id of the image's icon resource.
#pragma once

#include <cstdint>
#include <optional>

#include "base/bytes.h"

namespace pk {

inline constexpr uint32_t kIconDirHeaderSize = 6;
inline constexpr uint32_t kIconFileEntrySize = 16;
inline constexpr uint32_t kGroupEntrySize = 14;
inline constexpr uint16_t kIconDirTypeIcon = 1;

enum class IconDirKind { File, Group };

inline constexpr uint32_t IconDirEntrySize(IconDirKind kind) {
  return kind == IconDirKind::File ? kIconFileEntrySize : kGroupEntrySize;
}

struct IconDirHeader {
  uint16_t reserved = 0;
  uint16_t type = 0;
  uint16_t count = 0;
};

struct IconDirEntry {
  uint8_t width = 0;   // 0 stands for 256
  uint8_t height = 0;  // likewise
  uint8_t colorCount = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  uint32_t bytesInRes = 0;
  uint32_t imageOffset = 0;  // .ico files: where the image's bytes start
  uint16_t id = 0;           // group resources: the image's RT_ICON id
};

// The 6-byte header at the start of `bytes`; none when it is shorter.
std::optional<IconDirHeader> ReadIconDirHeader(Bytes bytes);

// Entry `index` of a directory's entries (`entries`: the bytes behind the
// 6-byte header); none when the entry does not lie inside them.
std::optional<IconDirEntry> ReadIconDirEntry(Bytes entries, IconDirKind kind, uint32_t index);

// The entries of a group directory, behind its header (empty when the
// directory is shorter than its header).
inline Bytes GroupDirectoryEntries(Bytes group) {
  return group.size() < kIconDirHeaderSize ? Bytes() : group.subspan(kIconDirHeaderSize);
}

// The image count of a group directory whose header and every entry lie
// inside its bytes; none otherwise. Nothing is ever read beyond them.
std::optional<uint16_t> GroupDirectoryCount(Bytes group);

}  // namespace pk
