#include "base/icon_directory.h"

namespace pk {

std::optional<IconDirHeader> ReadIconDirHeader(Bytes bytes) {
  ByteCursor c(bytes);
  IconDirHeader h;
  h.reserved = c.U16();
  h.type = c.U16();
  h.count = c.U16();
  if (!c.ok()) return std::nullopt;
  return h;
}

std::optional<IconDirEntry> ReadIconDirEntry(Bytes entries, IconDirKind kind, uint32_t index) {
  const uint64_t at = uint64_t(index) * IconDirEntrySize(kind);
  ByteReader r(entries);
  auto bytes = r.Sub(at, IconDirEntrySize(kind));
  if (!bytes) return std::nullopt;
  ByteCursor c(*bytes);
  IconDirEntry e;
  e.width = c.U8();
  e.height = c.U8();
  e.colorCount = c.U8();
  c.Skip(1);  // reserved
  e.planes = c.U16();
  e.bitCount = c.U16();
  e.bytesInRes = c.U32();
  if (kind == IconDirKind::File)
    e.imageOffset = c.U32();
  else
    e.id = c.U16();
  return e;
}

std::optional<uint16_t> GroupDirectoryCount(Bytes group) {
  auto header = ReadIconDirHeader(group);
  if (!header) return std::nullopt;
  if (!RangeFits(kIconDirHeaderSize, uint64_t(header->count) * kGroupEntrySize, group.size()))
    return std::nullopt;
  return header->count;
}

}  // namespace pk
