// The resource table of 16-bit NE modules, the format of classic icon
// libraries (.icl). The system does not open these as data; the command line
// reads them with this table so that such libraries can be listed and saved.
#include <algorithm>
#include <map>

#include "base/ansi_text.h"
#include "base/dib_layout.h"
#include "base/icon_directory.h"
#include "platform/portable/core/resource_table.h"

namespace pk::portable {
namespace {

constexpr uint32_t kResourceTableField = 0x24;  // ne_rsrctab, from the NE header
constexpr uint16_t kIntegerFlag = 0x8000;       // type and name ids: an integer, not a string offset
constexpr uint32_t kTypeInfoSize = 8;
constexpr uint32_t kNameInfoSize = 12;
// Offsets inside the table are 16-bit, so the table never reaches further.
constexpr uint64_t kMaxTableSize = 0x10000;
// Larger shifts would put every resource beyond any file there is.
constexpr uint16_t kMaxAlignShift = 24;

struct NameInfo {
  uint16_t offset;  // in units of 1 << alignShift
  uint16_t length;  // likewise; only an upper bound of the resource's size
  uint16_t id;      // kIntegerFlag set: an integer id; else a string offset
  std::optional<std::string> text;  // the name a string offset leads to, if it is in the table
};

class NeResourceTable final : public ResourceTable {
 public:
  explicit NeResourceTable(ByteSource& source) : source_(source) {}

  bool ReadTable(uint32_t headerOffset);

  Result<std::vector<platform::ResourceName>, ResourceFault> Names(uint16_t type) override;
  Result<ResourceLocation, ResourceFault> Find(uint16_t type, const platform::ResourceName& name) override;

 private:
  const std::vector<NameInfo>& Entries(uint16_t type);
  std::optional<std::string> Text(uint16_t offset) const;
  uint32_t TrimmedSize(uint16_t type, uint64_t offset, uint32_t bound);

  ByteSource& source_;
  std::vector<uint8_t> table_;
  uint16_t alignShift_ = 0;
  // Each type's entries are gathered once: a group looks up every one of its
  // images among the same icon entries.
  std::map<uint16_t, std::vector<NameInfo>> types_;
};

bool NeResourceTable::ReadTable(uint32_t headerOffset) {
  uint8_t fields[4];  // ne_rsrctab, ne_restab
  if (!source_.ReadAt(uint64_t(headerOffset) + kResourceTableField, fields, 4)) return false;
  ByteCursor c(Bytes(fields, sizeof fields));
  const uint16_t resourceTable = c.U16(), residentNames = c.U16();
  // Equal offsets: the module has no resource table at all.
  if (resourceTable == residentNames) return false;
  const uint64_t start = uint64_t(headerOffset) + resourceTable;
  if (start >= source_.Size()) return false;
  const uint64_t length = std::min(kMaxTableSize, source_.Size() - start);
  if (!source_.ReadRange(start, length, &table_)) return false;
  ByteReader r(table_);
  auto shift = r.U16(0);
  if (!shift || *shift > kMaxAlignShift) {
    table_.clear();
    return false;
  }
  alignShift_ = *shift;
  return true;
}

// The name entries of one type, in table order (a type may be listed twice).
const std::vector<NameInfo>& NeResourceTable::Entries(uint16_t type) {
  auto cached = types_.find(type);
  if (cached != types_.end()) return cached->second;
  std::vector<NameInfo>& out = types_[type];
  ByteReader r(table_);
  size_t at = 2;
  for (;;) {
    auto typeId = r.U16(at);
    if (!typeId || *typeId == 0) break;  // the table ends with a zero type id
    auto count = r.U16(at + 2);
    if (!count) break;
    at += kTypeInfoSize;
    for (uint16_t i = 0; i < *count; ++i, at += kNameInfoSize) {
      auto offset = r.U16(at), length = r.U16(at + 2), id = r.U16(at + 6);
      if (!offset || !length || !id) return out;  // the table is cut short
      if (*typeId == (kIntegerFlag | type))
        out.push_back({*offset, *length, *id, (*id & kIntegerFlag) ? std::nullopt : Text(*id)});
    }
  }
  return out;
}

// A counted (Pascal) string at an offset from the table's start; already in
// the program's 8-bit text.
std::optional<std::string> NeResourceTable::Text(uint16_t offset) const {
  ByteReader r(table_);
  auto length = r.U8(offset);
  if (!length) return std::nullopt;
  auto bytes = r.Sub(uint64_t(offset) + 1, *length);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

Result<std::vector<platform::ResourceName>, ResourceFault> NeResourceTable::Names(uint16_t type) {
  if (table_.empty()) return ResourceFault::NoResources;
  std::vector<platform::ResourceName> names;
  std::vector<uint16_t> ids;
  for (const NameInfo& e : Entries(type)) {
    if (e.id & kIntegerFlag) {
      ids.push_back(uint16_t(e.id & ~kIntegerFlag));
    } else if (e.text) {
      names.push_back(platform::ResourceName::FromText(*e.text));
    }
  }
  // The same order as for PE modules: text names, then ids ascending.
  std::stable_sort(ids.begin(), ids.end());
  for (uint16_t id : ids) names.push_back(platform::ResourceName::FromId(id));
  if (names.empty()) return ResourceFault::NoNames;
  return names;
}

Result<ResourceLocation, ResourceFault> NeResourceTable::Find(uint16_t type, const platform::ResourceName& name) {
  if (table_.empty()) return ResourceFault::NoResources;
  for (const NameInfo& e : Entries(type)) {
    bool match;
    if (e.id & kIntegerFlag) {
      // Group directories name their images without the integer flag.
      match = name.IsId() && name.Id() == (e.id & ~kIntegerFlag);
    } else if (name.IsId()) {
      match = false;
    } else {
      match = e.text && TextEqualsIgnoringAsciiCase(*e.text, name.Text());
    }
    if (!match) continue;
    const uint64_t offset = uint64_t(e.offset) << alignShift_;
    const uint64_t size = source_.Size();
    if (offset >= size) return ResourceFault::DataOutside;
    const uint64_t bound = std::min<uint64_t>(uint64_t(e.length) << alignShift_, size - offset);
    return ResourceLocation{offset, TrimmedSize(type, offset, uint32_t(std::min<uint64_t>(bound, UINT32_MAX)))};
  }
  return ResourceFault::NoSuchName;
}

// The stored length counts whole alignment units, so a resource usually comes
// with padding behind it. Icon images and group directories say how long they
// are; cutting them to that length keeps the padding out of saved icon files.
uint32_t NeResourceTable::TrimmedSize(uint16_t type, uint64_t offset, uint32_t bound) {
  if (type == platform::kResourceTypeGroupIcon) {
    uint8_t header[kIconDirHeaderSize];
    if (bound < sizeof header || !source_.ReadAt(offset, header, sizeof header)) return bound;
    const uint64_t needed = kIconDirHeaderSize + uint64_t(kGroupEntrySize) * ReadIconDirHeader(Bytes(header, sizeof header))->count;
    return needed <= bound ? uint32_t(needed) : bound;
  }
  if (type == platform::kResourceTypeIcon) {
    uint8_t bytes[kBitmapInfoHeaderSize];
    if (bound < sizeof bytes || !source_.ReadAt(offset, bytes, sizeof bytes)) return bound;
    const BitmapInfoHeader h = *BitmapInfoHeader::Read(Bytes(bytes, sizeof bytes));
    auto parts = MeasureDib(h, DibRows::IconWithMask);
    // Only what a classic library holds is trimmed: 40-byte headers of icons
    // up to 256 pixels.
    if (h.biSize != kBitmapInfoHeaderSize || !parts || parts->width <= 0 || parts->rows <= 0 ||
        parts->width > 256 || parts->rows > 256 || parts->bitsPerPixel > 32)
      return bound;
    return parts->end <= bound ? uint32_t(parts->end) : bound;
  }
  return bound;
}

}  // namespace

std::unique_ptr<ResourceTable> OpenNeResourceTable(ByteSource& source, uint32_t headerOffset) {
  auto table = std::make_unique<NeResourceTable>(source);
  // A module whose table cannot be read still opens; it just has no resources.
  table->ReadTable(headerOffset);
  return table;
}

}  // namespace pk::portable
