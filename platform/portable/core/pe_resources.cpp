// The resource tree of PE32 and PE32+ modules, read the way the system reads
// a module opened as data: the file is taken as a flat image, the root of the
// tree is found through the optional header's resource directory entry, the
// tables below it lie at offsets from that root, and each resource's bytes are
// found by mapping its address through the section table.
#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

#include "base/ansi_text.h"
#include "platform/portable/core/resource_table.h"

namespace pk::portable {
namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;  // IMAGE_DIRECTORY_ENTRY_RESOURCE
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kOptionalFieldsSize = 112;  // through NumberOfRvaAndSizes of PE32+
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kDirectoryHeaderSize = 16;  // IMAGE_RESOURCE_DIRECTORY
constexpr uint32_t kDirectoryEntrySize = 8;    // IMAGE_RESOURCE_DIRECTORY_ENTRY
constexpr uint32_t kDataEntrySize = 16;        // IMAGE_RESOURCE_DATA_ENTRY
constexpr uint32_t kHighBit = 0x80000000u;

// Languages tried, in order, when a resource exists in several. This is the
// order FindResourceA follows on a Chinese (PRC) system, for which this program
// is written: the neutral language, the user's language and its neutral form,
// US English; failing all of them, the first language the module lists. The
// portable build thus shows the same image as the program on such a system.
constexpr std::array<uint16_t, 4> kLanguageOrder = {kLangNeutral, kLangChinesePrc, kLangChinese,
                                                    kLangEnglishUs};

struct Section {
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawOffset;
};

struct DirectoryEntry {
  uint32_t name;    // high bit: offset of a counted UTF-16 string; else the id in the low 16 bits
  uint32_t target;  // high bit: offset of a subdirectory; else of a data entry
  bool IsText() const { return (name & kHighBit) != 0; }
  uint16_t Id() const { return uint16_t(name); }
  bool IsDirectory() const { return (target & kHighBit) != 0; }
  uint32_t Offset() const { return target & ~kHighBit; }
};

struct Directory {
  uint16_t namedCount = 0;
  std::vector<DirectoryEntry> entries;  // named entries first, then id entries
};

// A type's directory with its id entries indexed: a group names each of its
// (up to 65535) images by id in the same directory.
struct TypeDirectoryIndex {
  uint32_t offset = 0;  // from the root
  Directory dir;
  std::unordered_map<uint16_t, uint32_t> ids;  // id -> first entry with it
  // The text of each text-named entry in the program's 8-bit form, read on
  // first use (none: not in the file). A lookup by text compares them all,
  // and a module may hold thousands.
  mutable std::optional<std::vector<std::optional<std::string>>> texts;
};

class PeResourceTable final : public ResourceTable {
 public:
  PeResourceTable(ByteSource& source, NarrowText narrow) : source_(source), narrow_(std::move(narrow)) {}

  void ReadHeaders(uint32_t ntOffset);

  Result<std::vector<platform::ResourceName>, ResourceFault> Names(uint16_t type) override;
  Result<ResourceLocation, ResourceFault> Find(uint16_t type, const platform::ResourceName& name) override;

 private:
  Result<Directory, ResourceFault> ReadDirectory(uint32_t offsetFromRoot);
  std::optional<std::u16string> ReadText(uint32_t offsetFromRoot);
  std::optional<uint64_t> MapAddress(uint32_t rva) const;
  // The type's directory below the root; none when there is none or it loops.
  const Result<TypeDirectoryIndex, ResourceFault>& TypeDirectory(uint16_t type);
  const std::vector<std::optional<std::string>>& Texts(const TypeDirectoryIndex& index);

  ByteSource& source_;
  NarrowText narrow_;
  std::vector<Section> sections_;
  std::optional<uint64_t> root_;  // file offset of the root directory
  // Each type's directory is read once: loading a group looks up every one of
  // its images in the same icon directory.
  std::map<uint16_t, Result<TypeDirectoryIndex, ResourceFault>> types_;
};

void PeResourceTable::ReadHeaders(uint32_t ntOffset) {
  // "PE\0\0", the 20-byte file header, then the optional header.
  const uint64_t fileHeaderAt = uint64_t(ntOffset) + 4;
  const uint64_t optionalAt = fileHeaderAt + kFileHeaderSize;
  uint8_t fileHeader[kFileHeaderSize];
  if (!source_.ReadAt(fileHeaderAt, fileHeader, sizeof fileHeader)) return;
  ByteCursor fh(Bytes(fileHeader, sizeof fileHeader), 2);
  const uint16_t sectionCount = fh.U16();
  fh.Seek(16);
  const uint16_t optionalSize = fh.U16();

  // The fields up to the data directories' count, in either format.
  uint8_t optional[kOptionalFieldsSize];
  if (!source_.ReadAt(optionalAt, optional, 2)) return;
  ByteReader opt(Bytes(optional, sizeof optional));
  const uint16_t magic = *opt.U16(0);
  uint64_t countField, directories;
  if (magic == kMagicPe32) {
    countField = 92;
    directories = 96;
  } else if (magic == kMagicPe32Plus) {
    countField = 108;
    directories = 112;
  } else {
    return;  // neither format: the system finds no resources either
  }
  if (!source_.ReadAt(optionalAt, optional, size_t(countField) + 4)) return;
  const uint32_t headersSize = *opt.U32(60);
  if (*opt.U32(countField) <= kResourceDirectoryIndex) return;
  uint8_t entry[8];
  if (!source_.ReadAt(optionalAt + directories + 8 * kResourceDirectoryIndex, entry, sizeof entry)) return;
  const uint32_t rootRva = *ByteReader(Bytes(entry, sizeof entry)).U32(0);
  if (rootRva == 0) return;

  // Only the section headers that are in the file count; a table cut short
  // by the end of the file cannot map anything beyond it anyway.
  const uint64_t table = optionalAt + optionalSize;
  const uint64_t size = source_.Size();
  uint64_t fit = table <= size ? (size - table) / kSectionHeaderSize : 0;
  const uint32_t count = uint32_t(std::min<uint64_t>(sectionCount, fit));
  std::vector<uint8_t> bytes;
  if (!source_.ReadRange(table, uint64_t(count) * kSectionHeaderSize, &bytes)) return;
  sections_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    ByteCursor c(Bytes(bytes), size_t(i) * kSectionHeaderSize + 12);
    Section section;
    section.virtualAddress = c.U32();
    section.rawSize = c.U32();
    section.rawOffset = c.U32();
    sections_.push_back(section);
  }

  // The system takes an address inside the headers as a file offset as is.
  if (rootRva < headersSize) {
    root_ = rootRva;
  } else {
    root_ = MapAddress(rootRva);
  }
}

// An address inside a section's raw data, as a file offset. Bytes a section
// has only in memory (virtual size beyond the raw size) are not in the file,
// so an address there maps to nothing.
std::optional<uint64_t> PeResourceTable::MapAddress(uint32_t rva) const {
  for (const Section& s : sections_) {
    if (s.virtualAddress <= rva && uint64_t(rva) < uint64_t(s.virtualAddress) + s.rawSize)
      return uint64_t(s.rawOffset) + (rva - s.virtualAddress);
  }
  return std::nullopt;
}

Result<Directory, ResourceFault> PeResourceTable::ReadDirectory(uint32_t offsetFromRoot) {
  if (!root_) return ResourceFault::NoResources;
  const uint64_t at = *root_ + offsetFromRoot;
  uint8_t header[kDirectoryHeaderSize];
  if (!source_.ReadAt(at, header, sizeof header)) return ResourceFault::TableOutside;
  ByteCursor h(Bytes(header, sizeof header), 12);
  Directory dir;
  dir.namedCount = h.U16();
  const uint32_t count = uint32_t(dir.namedCount) + h.U16();
  // The whole entry table must be in the file, or the table is refused.
  std::vector<uint8_t> bytes;
  if (!source_.ReadRange(at + kDirectoryHeaderSize, uint64_t(count) * kDirectoryEntrySize, &bytes))
    return ResourceFault::TableOutside;
  dir.entries.reserve(count);
  ByteCursor c{Bytes(bytes)};
  for (uint32_t i = 0; i < count; ++i) {
    DirectoryEntry e;
    e.name = c.U32();
    e.target = c.U32();
    dir.entries.push_back(e);
  }
  return dir;
}

std::optional<std::u16string> PeResourceTable::ReadText(uint32_t offsetFromRoot) {
  const uint64_t at = *root_ + offsetFromRoot;
  uint8_t lengthBytes[2];
  if (!source_.ReadAt(at, lengthBytes, 2)) return std::nullopt;
  const uint16_t length = *ByteReader(Bytes(lengthBytes, 2)).U16(0);
  std::vector<uint8_t> bytes;
  if (!source_.ReadRange(at + 2, uint64_t(length) * 2, &bytes)) return std::nullopt;
  std::u16string text(length, u'\0');
  ByteCursor c{Bytes(bytes)};
  for (char16_t& ch : text) ch = char16_t(c.U16());
  return text;
}

// Only the id entries are searched for an id and only the named entries for a
// text name, as the system's lookup does.
const DirectoryEntry* FindId(const Directory& dir, uint16_t id) {
  for (size_t i = dir.namedCount; i < dir.entries.size(); ++i) {
    const DirectoryEntry& e = dir.entries[i];
    if (!e.IsText() && e.Id() == id) return &e;
  }
  return nullptr;
}

const Result<TypeDirectoryIndex, ResourceFault>& PeResourceTable::TypeDirectory(uint16_t type) {
  auto cached = types_.find(type);
  if (cached != types_.end()) return cached->second;
  auto read = [&]() -> Result<TypeDirectoryIndex, ResourceFault> {
    auto root = ReadDirectory(0);
    if (!root) return root.reason();
    const DirectoryEntry* e = FindId(*root, type);
    if (!e || !e->IsDirectory()) return ResourceFault::NoSuchType;
    // A type that leads back to the root would make the tree loop.
    if (e->Offset() == 0) return ResourceFault::LeadsBack;
    auto dir = ReadDirectory(e->Offset());
    if (!dir) return dir.reason();
    TypeDirectoryIndex index{e->Offset(), std::move(*dir), {}};
    for (size_t i = index.dir.namedCount; i < index.dir.entries.size(); ++i) {
      const DirectoryEntry& entry = index.dir.entries[i];
      if (!entry.IsText()) index.ids.emplace(entry.Id(), uint32_t(i));
    }
    return index;
  };
  return types_.emplace(type, read()).first->second;
}

const std::vector<std::optional<std::string>>& PeResourceTable::Texts(const TypeDirectoryIndex& index) {
  if (!index.texts) {
    std::vector<std::optional<std::string>> texts(index.dir.entries.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      const DirectoryEntry& e = index.dir.entries[i];
      if (!e.IsText()) continue;
      if (auto text = ReadText(e.name & ~kHighBit)) texts[i] = narrow_(*text);
    }
    index.texts = std::move(texts);
  }
  return *index.texts;
}

Result<std::vector<platform::ResourceName>, ResourceFault> PeResourceTable::Names(uint16_t type) {
  const auto& typeDir = TypeDirectory(type);
  if (!typeDir) return typeDir.reason();
  const auto& entryTexts = Texts(*typeDir);
  std::vector<platform::ResourceName> texts;
  std::vector<uint16_t> ids;
  for (size_t i = 0; i < typeDir->dir.entries.size(); ++i) {
    const DirectoryEntry& e = typeDir->dir.entries[i];
    if (e.IsText()) {
      // A name whose string is not in the file is left out.
      if (entryTexts[i]) texts.push_back(platform::ResourceName::FromText(*entryTexts[i]));
    } else {
      ids.push_back(e.Id());
    }
  }
  // Well-formed modules store ids ascending and the system enumerates in
  // stored order; sorting only changes anything for a damaged table.
  if (!std::is_sorted(ids.begin(), ids.end())) std::stable_sort(ids.begin(), ids.end());
  for (uint16_t id : ids) texts.push_back(platform::ResourceName::FromId(id));
  // The system reports failure for a type without any entry.
  if (texts.empty()) return ResourceFault::NoNames;
  return texts;
}

Result<ResourceLocation, ResourceFault> PeResourceTable::Find(uint16_t type, const platform::ResourceName& name) {
  const auto& typeDir = TypeDirectory(type);
  if (!typeDir) return typeDir.reason();
  const uint32_t typeOffset = typeDir->offset;
  const Directory& types = typeDir->dir;

  const DirectoryEntry* nameEntry = nullptr;
  if (name.IsId()) {
    auto it = typeDir->ids.find(name.Id());
    if (it != typeDir->ids.end()) nameEntry = &types.entries[it->second];
  } else {
    const auto& texts = Texts(*typeDir);
    for (uint16_t i = 0; i < types.namedCount && i < types.entries.size(); ++i) {
      const DirectoryEntry& e = types.entries[i];
      if (!e.IsText()) continue;
      if (texts[i] && TextEqualsIgnoringAsciiCase(*texts[i], name.Text())) {
        nameEntry = &e;
        break;
      }
    }
  }
  if (!nameEntry || !nameEntry->IsDirectory()) return ResourceFault::NoSuchName;
  // Only three levels are ever walked, so a loop cannot run away; a name that
  // leads back to the root or to its type directory is refused all the same.
  if (nameEntry->Offset() == 0 || nameEntry->Offset() == typeOffset) return ResourceFault::LeadsBack;
  auto languages = ReadDirectory(nameEntry->Offset());
  if (!languages) return languages.reason();

  const DirectoryEntry* data = nullptr;
  for (uint16_t lang : kLanguageOrder) {
    const DirectoryEntry* e = FindId(*languages, lang);
    if (e && !e->IsDirectory()) {
      data = e;
      break;
    }
  }
  if (!data) {
    for (const DirectoryEntry& e : languages->entries) {
      if (!e.IsDirectory()) {
        data = &e;
        break;
      }
    }
  }
  if (!data) return ResourceFault::NoData;

  uint8_t entry[kDataEntrySize];
  if (!source_.ReadAt(*root_ + data->Offset(), entry, sizeof entry)) return ResourceFault::TableOutside;
  ByteCursor c(Bytes(entry, sizeof entry));
  const uint32_t rva = c.U32();
  const uint32_t size = c.U32();
  auto offset = MapAddress(rva);
  if (!offset || !RangeFits(*offset, size, source_.Size())) return ResourceFault::DataOutside;
  return ResourceLocation{*offset, size};
}

}  // namespace

std::unique_ptr<ResourceTable> OpenPeResourceTable(ByteSource& source, uint32_t headerOffset,
                                                   NarrowText narrow) {
  auto table = std::make_unique<PeResourceTable>(source, std::move(narrow));
  table->ReadHeaders(headerOffset);
  return table;
}

}  // namespace pk::portable
