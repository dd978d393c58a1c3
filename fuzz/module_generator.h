// Small modules with resource trees for the module fuzz target: PE32, PE32+
// and NE files of a few kilobytes, made by the test builders from random
// choices, and a map of the fields of a module's resource tree, so that a
// mutation can change one field where it lies instead of bytes at random.
//
// Real modules are 100-250 KB and most of their bytes are code and images;
// these hold nothing but headers, tables and a few small images, so each
// execution spends its time in the resource reader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/pe_builder.h"

namespace pk::fuzz {

using test::ByteVector;

class Choices {
 public:
  explicit Choices(uint32_t seed) : random_(seed) {}
  uint32_t Below(uint32_t n) { return n ? uint32_t(random_() % n) : 0; }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  uint32_t Any() { return uint32_t(random_()) ^ (uint32_t(random_()) << 16); }
  template <typename T, size_t N>
  T From(const T (&values)[N]) {
    return values[Below(N)];
  }

 private:
  std::minstd_rand random_;
};

// One icon resource: mostly a sound DIB of a common depth, sometimes with an
// odd header, a wrapped colour table, no mask or half a mask, a PNG stream,
// or a few bytes of nothing.
inline ByteVector GenerateIconImage(Choices& c) {
  const uint32_t kind = c.Below(16);
  if (kind == 0) return test::PngImage(1 + c.Below(20), 1 + c.Below(20));
  if (kind == 1) {
    ByteVector junk(c.Below(48));
    for (uint8_t& b : junk) b = uint8_t(c.Any());
    return junk;
  }
  const uint16_t depths[] = {1, 4, 8, 16, 24, 32, 32, 32};
  const uint16_t bits = c.From(depths);
  const int32_t width = int32_t(1 + c.Below(c.OneIn(4) ? 64 : 24));
  const int32_t height = c.OneIn(3) ? width : int32_t(1 + c.Below(24));
  test::DibOptions o;
  switch (c.Below(12)) {
    case 0: o.clrUsed = 1 + c.Below(300); break;
    case 1:  // a count that wraps the 16-bit table size; only the wrapped entries are written
      o.clrUsed = 16384 + c.Below(3);
      o.tableEntries = (o.clrUsed * 4 % 65536) / 4;
      break;
    case 2: o.heightField = height * 2 + 1; break;
    case 3: o.planes = uint16_t(c.Below(3)); break;
    case 4: o.withMask = false; break;
    case 5: o.sizeImage = c.Any(); break;
    default: break;
  }
  ByteVector image = test::DibImage(width, height, bits, o);
  if (c.OneIn(8) && image.size() > 40) image.resize(40 + c.Below(uint32_t(image.size()) - 40));
  return image;
}

inline std::u16string GenerateName(Choices& c) {
  const char16_t* names[] = {u"MAIN", u"main", u"A", u"ICON_1", u"\u4E2D\u6587", u"MAINICON", u"Z"};
  if (c.OneIn(10)) return std::u16string(1 + c.Below(300), char16_t(u'a' + c.Below(26)));
  return names[c.Below(std::size(names))];
}

// A module of a few icons and groups. Ids are drawn from a small range, so
// groups name missing images now and then, and images are shared by groups.
inline ByteVector GenerateModule(Choices& c) {
  const uint32_t icons = 1 + c.Below(5), groups = 1 + c.Below(4);
  std::vector<uint16_t> iconIds;
  std::vector<ByteVector> images;
  for (uint32_t i = 0; i < icons; ++i) {
    iconIds.push_back(uint16_t(1 + c.Below(8)));
    images.push_back(GenerateIconImage(c));
  }
  auto directory = [&]() {
    std::vector<test::GroupEntry> entries;
    const uint32_t n = c.OneIn(12) ? 0 : 1 + c.Below(4);
    for (uint32_t k = 0; k < n; ++k) {
      test::GroupEntry e;
      e.width = uint8_t(c.From({16u, 32u, 48u, 0u, 24u}));
      e.height = c.OneIn(4) ? uint8_t(c.Any()) : e.width;
      e.bitCount = uint16_t(c.From({4u, 8u, 32u, 24u, 1u, 0u}));
      e.bytesInRes = c.OneIn(4) ? c.Any() : 0;
      e.id = c.OneIn(8) ? uint16_t(c.Any()) : iconIds[c.Below(uint32_t(iconIds.size()))];
      entries.push_back(e);
    }
    std::optional<uint16_t> count;
    if (c.OneIn(10)) count = uint16_t(n + 1 + c.Below(c.OneIn(2) ? 4 : 0xFFFF));
    return test::GroupDirectory(entries, count, c.OneIn(16) ? 2 : 1, c.OneIn(16) ? 1 : 0);
  };
  const uint16_t languages[] = {0, 0, 0, 0x0409, 0x0804, 0x0411};

  if (c.OneIn(5)) {
    test::NeBuilder ne;
    ne.AlignShift(uint16_t(c.From({4u, 4u, 0u, 1u, 9u, 3u})));
    for (uint32_t i = 0; i < icons; ++i) ne.Add(test::kRtIcon, true, iconIds[i], "", images[i]);
    for (uint32_t g = 0; g < groups; ++g) {
      if (c.OneIn(3)) {
        const char* names[] = {"DOC", "APP", "X", "\xD6\xD0"};
        ne.Add(test::kRtGroupIcon, false, 0, c.From(names), directory());
      } else {
        ne.Add(test::kRtGroupIcon, true, uint16_t(1 + c.Below(20)), "", directory());
      }
    }
    if (c.OneIn(4)) ne.Add(uint16_t(c.From({1u, 2u, 6u, 12u})), true, 1, "", ByteVector(c.Below(32), 0x55));
    return ne.Build().bytes;
  }
  test::PeBuilder pe;
  pe.Pe32Plus(c.OneIn(2));
  for (uint32_t i = 0; i < icons; ++i) pe.Icon(iconIds[i], images[i], c.From(languages));
  for (uint32_t g = 0; g < groups; ++g) {
    test::ResKey name = c.OneIn(3) ? test::ByName(GenerateName(c)) : test::ById(uint16_t(1 + c.Below(20)));
    pe.Group(name, directory(), c.From(languages));
    if (c.OneIn(6)) pe.Group(name, directory(), uint16_t(c.From({0x0804u, 0x0409u, 0x0004u})));
  }
  if (c.OneIn(4)) pe.Add(uint16_t(c.From({1u, 12u, 16u, 24u})), test::ById(1), ByteVector(c.Below(64), 0xAA));
  return pe.Build().bytes;
}

// What a field of a resource tree holds, which decides the values tried in it.
enum class FieldKind {
  Count,        // a directory's count of named or id entries
  Name,         // a directory entry's name: an id, or a string offset with the high bit
  Target,       // a directory entry's target: a subdirectory (high bit) or a data entry
  Address,      // a data entry's address
  Size,         // a data entry's size
  GroupCount,   // a group directory's image count
  GroupId,      // a group entry's image id
  GroupBytes,   // a group entry's byte count
  InfoSize,     // an icon image's biSize
  InfoWidth,
  InfoHeight,
  InfoPlanes,
  InfoBits,
  InfoCompression,
  InfoColors,   // biClrUsed
  NeShift,      // the NE table's alignment shift
  NeType,       // a TYPEINFO's type id
  NeCount,      // a TYPEINFO's count
  NeOffset,     // a NAMEINFO's offset, in units
  NeLength,     // a NAMEINFO's length, in units
  NeId,         // a NAMEINFO's id or name offset
};

struct TreeField {
  size_t at;
  uint8_t width;  // 2 or 4 bytes
  FieldKind kind;
};

// Where a module's resource data lies: the section its resource directory
// points into (PE), or its resource table onwards (NE).
struct ResourceRegion {
  size_t start = 0, size = 0;
  uint32_t rva = 0;  // the address of `start` once loaded (PE), else 0
  bool ne = false;
};

inline uint32_t Load16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t Load32(const uint8_t* p) { return Load16(p) | Load16(p + 2) << 16; }

// Every field is checked against `size` before it is read.
inline std::optional<ResourceRegion> FindResourceRegion(const uint8_t* data, size_t size) {
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return std::nullopt;
  const size_t header = Load32(data + 0x3C);
  if (header > size || size - header < 0x40) return std::nullopt;
  const uint8_t* h = data + header;
  if (h[0] == 'N' && h[1] == 'E') {
    const size_t table = header + Load16(h + 0x24);
    if (table >= size) return std::nullopt;
    return ResourceRegion{table, size - table, 0, true};
  }
  if (std::memcmp(h, "PE\0\0", 4) != 0 || size - header < 24 + 112 + 24) return std::nullopt;
  const uint8_t* optional = h + 24;
  const uint32_t magic = Load16(optional);
  const size_t directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0;
  if (directories == 0) return std::nullopt;
  const uint32_t resourceRva = Load32(optional + directories + 2 * 8);
  const size_t sections = header + 24 + Load16(h + 20);
  const uint32_t count = Load16(h + 6);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = sections + size_t(i) * 40;
    if (at > size || size - at < 40) break;
    const uint8_t* s = data + at;
    const uint32_t address = Load32(s + 12), rawSize = Load32(s + 16), raw = Load32(s + 20);
    if (resourceRva < address || resourceRva - address >= rawSize) continue;
    const size_t start = size_t(raw) + (resourceRva - address);
    if (start >= size) return std::nullopt;
    const size_t end = std::min<size_t>(size, size_t(raw) + rawSize);
    if (end <= start) return std::nullopt;
    return ResourceRegion{start, end - start, resourceRva, false};
  }
  return std::nullopt;
}

// The fields of a module's resource tree, found by following its tables as
// far as they hold together. Bounded: a few hundred fields, three levels,
// each table once, so a damaged or looping tree costs no more than a sound one.
class TreeFields {
 public:
  TreeFields(const uint8_t* data, size_t size, const ResourceRegion& region)
      : data_(data), size_(size), region_(region) {
    if (region.ne)
      MapNe();
    else
      MapDirectory(0, 0, 0);
  }
  const std::vector<TreeField>& fields() const { return fields_; }

 private:
  static constexpr size_t kMaxFields = 400;
  bool Fits(size_t at, size_t length) const { return at <= size_ && size_ - at >= length; }
  void Add(size_t at, uint8_t width, FieldKind kind) {
    if (fields_.size() < kMaxFields && Fits(at, width)) fields_.push_back({at, width, kind});
  }

  void MapDirectory(uint32_t offset, int depth, uint32_t type) {
    if (std::find(seen_.begin(), seen_.end(), offset) != seen_.end() || seen_.size() > 64) return;
    seen_.push_back(offset);
    const size_t at = region_.start + offset;
    if (offset >= region_.size || !Fits(at, 16)) return;
    Add(at + 12, 2, FieldKind::Count);
    Add(at + 14, 2, FieldKind::Count);
    const uint32_t count = std::min<uint32_t>(Load16(data_ + at + 12) + Load16(data_ + at + 14), 48);
    for (uint32_t i = 0; i < count; ++i) {
      const size_t e = at + 16 + 8 * size_t(i);
      if (!Fits(e, 8) || fields_.size() >= kMaxFields) return;
      Add(e, 4, FieldKind::Name);
      Add(e + 4, 4, FieldKind::Target);
      const uint32_t name = Load32(data_ + e), target = Load32(data_ + e + 4);
      const uint32_t entryType = depth == 0 ? ((name & 0x80000000u) ? 0 : name & 0xFFFF) : type;
      if (target & 0x80000000u) {
        if (depth < 2) MapDirectory(target & 0x7FFFFFFFu, depth + 1, entryType);
      } else {
        MapDataEntry(target, entryType);
      }
    }
  }

  void MapDataEntry(uint32_t offset, uint32_t type) {
    const size_t at = region_.start + offset;
    if (offset >= region_.size || !Fits(at, 16)) return;
    Add(at, 4, FieldKind::Address);
    Add(at + 4, 4, FieldKind::Size);
    const uint32_t rva = Load32(data_ + at);
    if (rva < region_.rva || rva - region_.rva >= region_.size) return;
    MapResource(region_.start + (rva - region_.rva), type);
  }

  void MapResource(size_t at, uint32_t type) {
    if (type == test::kRtGroupIcon && Fits(at, 6)) {
      Add(at + 4, 2, FieldKind::GroupCount);
      const uint32_t count = std::min<uint32_t>(Load16(data_ + at + 4), 16);
      for (uint32_t i = 0; i < count; ++i) {
        const size_t e = at + 6 + 14 * size_t(i);
        if (!Fits(e, 14)) break;
        Add(e + 8, 4, FieldKind::GroupBytes);
        Add(e + 12, 2, FieldKind::GroupId);
      }
    } else if (type == test::kRtIcon && Fits(at, 40) && data_[at] != 0x89) {
      Add(at, 4, FieldKind::InfoSize);
      Add(at + 4, 4, FieldKind::InfoWidth);
      Add(at + 8, 4, FieldKind::InfoHeight);
      Add(at + 12, 2, FieldKind::InfoPlanes);
      Add(at + 14, 2, FieldKind::InfoBits);
      Add(at + 16, 4, FieldKind::InfoCompression);
      Add(at + 32, 4, FieldKind::InfoColors);
    }
  }

  void MapNe() {
    const size_t table = region_.start;
    if (!Fits(table, 2)) return;
    Add(table, 2, FieldKind::NeShift);
    const uint32_t shift = Load16(data_ + table);
    size_t at = table + 2;
    for (int t = 0; t < 16 && Fits(at, 8); ++t) {
      const uint32_t typeId = Load16(data_ + at);
      Add(at, 2, FieldKind::NeType);
      Add(at + 2, 2, FieldKind::NeCount);
      if (typeId == 0) return;
      const uint32_t count = std::min<uint32_t>(Load16(data_ + at + 2), 48);
      at += 8;
      for (uint32_t i = 0; i < count && Fits(at, 12); ++i, at += 12) {
        Add(at, 2, FieldKind::NeOffset);
        Add(at + 2, 2, FieldKind::NeLength);
        Add(at + 6, 2, FieldKind::NeId);
        const uint64_t resource = shift < 24 ? uint64_t(Load16(data_ + at)) << shift : UINT64_MAX;
        if (resource < size_) MapResource(size_t(resource), typeId & 0x7FFF);
      }
    }
  }

  const uint8_t* data_;
  size_t size_;
  ResourceRegion region_;
  std::vector<TreeField> fields_;
  std::vector<uint32_t> seen_;
};

// A value that fields of `kind` are made of, given the field's current value.
inline uint32_t TreeValue(Choices& c, FieldKind kind, uint32_t current, const ResourceRegion& region) {
  const uint32_t length = uint32_t(std::max<size_t>(region.size, 1));
  const uint32_t nearby[] = {current + 1, current - 1, current ^ 0x80000000u, current * 2, current / 2};
  if (c.OneIn(4)) return c.From(nearby);
  switch (kind) {
    case FieldKind::Count:
    case FieldKind::GroupCount:
    case FieldKind::NeCount: return c.From({0u, 1u, 2u, 3u, 0x7FFFu, 0x8000u, 0xFFFFu});
    case FieldKind::Name: {
      const uint32_t values[] = {1u, 2u, 3u, 14u, 24u, 0xFFFFu, 0x80000000u | c.Below(length),
                                 0x80000000u | length, 0x80000000u | (length - 2)};
      return c.From(values);
    }
    case FieldKind::Target: {
      const uint32_t values[] = {0u, 0x80000000u, 0x80000000u | 16u, 0x80000000u | c.Below(length),
                                 c.Below(length), length, length - 16, 0x80000000u | length, 0xFFFFFFFFu};
      return c.From(values);
    }
    case FieldKind::Address: {
      const uint32_t values[] = {region.rva + c.Below(length), region.rva - 1, region.rva + length,
                                 region.rva + length - 1, 0u, 0xFFFFFFFFu, 0x7FFFFFFFu};
      return c.From(values);
    }
    case FieldKind::Size:
    case FieldKind::GroupBytes: {
      const uint32_t values[] = {0u, 1u, 6u, 40u, length, 0x7FFFFFFFu, 0xFFFFFFFFu, c.Below(length)};
      return c.From(values);
    }
    case FieldKind::GroupId: return c.From({0u, 1u, 2u, 3u, 7u, 0x7FFFu, 0xFFFFu});
    case FieldKind::InfoSize: return c.From({0u, 12u, 39u, 40u, 41u, 52u, 56u, 108u, 124u, 0xFFFFFFFFu});
    case FieldKind::InfoWidth:
    case FieldKind::InfoHeight:
      return c.From({0u, 1u, 2u, 16u, 32u, 33u, 64u, 256u, 257u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu});
    case FieldKind::InfoPlanes: return c.From({0u, 1u, 2u, 4u, 0xFFFFu});
    case FieldKind::InfoBits: return c.From({0u, 1u, 2u, 4u, 8u, 15u, 16u, 24u, 32u, 48u, 64u, 0xFFFFu});
    case FieldKind::InfoCompression: return c.From({0u, 1u, 2u, 3u, 4u, 5u, 6u});
    case FieldKind::InfoColors: return c.From({0u, 1u, 2u, 16u, 256u, 257u, 16384u, 16385u, 0xFFFFFFFFu});
    case FieldKind::NeShift: return c.From({0u, 1u, 4u, 9u, 15u, 16u, 23u, 24u, 25u, 31u, 32u, 63u, 64u, 0xFFFFu});
    case FieldKind::NeType: return c.From({0x8003u, 0x800Eu, 0x8001u, 0u, 3u, 14u, c.Below(length)});
    case FieldKind::NeOffset:
    case FieldKind::NeLength: return c.From({0u, 1u, 2u, 0xFFFFu, 0x8000u, c.Below(0x10000)});
    case FieldKind::NeId: return c.From({0x8001u, 0x8002u, 0x8003u, 0x8000u, 0u, c.Below(length), 0xFFFFu});
  }
  return c.Any();
}

// Sets 1 to 3 fields of the tree in place; false when the tree has none.
inline bool MutateTree(Choices& c, uint8_t* data, size_t size) {
  auto region = FindResourceRegion(data, size);
  if (!region) return false;
  TreeFields map(data, size, *region);
  const auto& fields = map.fields();
  if (fields.empty()) return false;
  const uint32_t changes = 1 + c.Below(3);
  for (uint32_t k = 0; k < changes; ++k) {
    const TreeField& f = fields[c.Below(uint32_t(fields.size()))];
    uint32_t current = f.width == 2 ? Load16(data + f.at) : Load32(data + f.at);
    // Now and then the value of another field of the same kind: a target
    // that points where another one does, an id that another group uses.
    uint32_t value = TreeValue(c, f.kind, current, *region);
    if (c.OneIn(5)) {
      const TreeField& other = fields[c.Below(uint32_t(fields.size()))];
      if (other.kind == f.kind) value = other.width == 2 ? Load16(data + other.at) : Load32(data + other.at);
    }
    for (uint8_t b = 0; b < f.width; ++b) data[f.at + b] = uint8_t(value >> (8 * b));
  }
  return true;
}

}  // namespace pk::fuzz
