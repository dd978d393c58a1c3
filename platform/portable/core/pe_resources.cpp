// The resource tree of PE32 and PE32+ modules, read the way the system reads
// a module opened as data: the file is taken as a flat image, the root of the
// tree is found through the optional header's resource directory entry, the
// tables below it lie at offsets from that root, and each resource's bytes are
// found by mapping its address through the section table.
#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

#include "platform/portable/core/resource_table.h"

namespace pk::portable {
namespace {

constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;  // IMAGE_DIRECTORY_ENTRY_RESOURCE
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
};

class PeResourceTable final : public ResourceTable {
 public:
  PeResourceTable(ByteSource& source, NarrowText narrow) : source_(source), narrow_(std::move(narrow)) {}

  void ReadHeaders(uint32_t ntOffset);

  std::optional<std::vector<platform::ResourceName>> Names(uint16_t type) override;
  std::optional<ResourceLocation> Find(uint16_t type, const platform::ResourceName& name) override;

 private:
  std::optional<Directory> ReadDirectory(uint32_t offsetFromRoot);
  std::optional<std::u16string> ReadText(uint32_t offsetFromRoot);
  std::optional<uint64_t> MapAddress(uint32_t rva) const;
  // The type's directory below the root; none when there is none or it loops.
  const std::optional<TypeDirectoryIndex>& TypeDirectory(uint16_t type);

  ByteSource& source_;
  NarrowText narrow_;
  std::vector<Section> sections_;
  std::optional<uint64_t> root_;  // file offset of the root directory
  // Each type's directory is read once: loading a group looks up every one of
  // its images in the same icon directory.
  std::map<uint16_t, std::optional<TypeDirectoryIndex>> types_;
};

void PeResourceTable::ReadHeaders(uint32_t ntOffset) {
  // "PE\0\0", the 20-byte file header, then the optional header.
  const uint64_t fileHeader = uint64_t(ntOffset) + 4;
  const uint64_t optional = fileHeader + 20;
  uint8_t fh[20];
  if (!source_.ReadAt(fileHeader, fh, sizeof fh)) return;
  const uint16_t sectionCount = LoadU16(fh + 2);
  const uint16_t optionalSize = LoadU16(fh + 16);

  uint8_t magicBytes[2];
  if (!source_.ReadAt(optional, magicBytes, 2)) return;
  const uint16_t magic = LoadU16(magicBytes);
  uint64_t countField, directories;
  if (magic == kMagicPe32) {
    countField = optional + 92;
    directories = optional + 96;
  } else if (magic == kMagicPe32Plus) {
    countField = optional + 108;
    directories = optional + 112;
  } else {
    return;  // neither format: the system finds no resources either
  }
  uint8_t word[4];
  if (!source_.ReadAt(optional + 60, word, 4)) return;
  const uint32_t headersSize = LoadU32(word);
  if (!source_.ReadAt(countField, word, 4)) return;
  if (LoadU32(word) <= kResourceDirectoryIndex) return;
  uint8_t entry[8];
  if (!source_.ReadAt(directories + 8 * kResourceDirectoryIndex, entry, 8)) return;
  const uint32_t rootRva = LoadU32(entry);
  if (rootRva == 0) return;

  // Only the section headers that are in the file count; a table cut short
  // by the end of the file cannot map anything beyond it anyway.
  const uint64_t table = optional + optionalSize;
  const uint64_t size = source_.Size();
  uint64_t fit = table <= size ? (size - table) / kSectionHeaderSize : 0;
  const uint32_t count = uint32_t(std::min<uint64_t>(sectionCount, fit));
  std::vector<uint8_t> bytes;
  if (!source_.ReadRange(table, uint64_t(count) * kSectionHeaderSize, &bytes)) return;
  sections_.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* s = bytes.data() + i * kSectionHeaderSize;
    sections_.push_back({LoadU32(s + 12), LoadU32(s + 16), LoadU32(s + 20)});
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

std::optional<Directory> PeResourceTable::ReadDirectory(uint32_t offsetFromRoot) {
  if (!root_) return std::nullopt;
  const uint64_t at = *root_ + offsetFromRoot;
  uint8_t header[kDirectoryHeaderSize];
  if (!source_.ReadAt(at, header, sizeof header)) return std::nullopt;
  Directory dir;
  dir.namedCount = LoadU16(header + 12);
  const uint32_t count = uint32_t(dir.namedCount) + LoadU16(header + 14);
  // The whole entry table must be in the file, or the table is refused.
  std::vector<uint8_t> bytes;
  if (!source_.ReadRange(at + kDirectoryHeaderSize, uint64_t(count) * kDirectoryEntrySize, &bytes))
    return std::nullopt;
  dir.entries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = bytes.data() + i * kDirectoryEntrySize;
    dir.entries.push_back({LoadU32(e), LoadU32(e + 4)});
  }
  return dir;
}

std::optional<std::u16string> PeResourceTable::ReadText(uint32_t offsetFromRoot) {
  const uint64_t at = *root_ + offsetFromRoot;
  uint8_t lengthBytes[2];
  if (!source_.ReadAt(at, lengthBytes, 2)) return std::nullopt;
  const uint16_t length = LoadU16(lengthBytes);
  std::vector<uint8_t> bytes;
  if (!source_.ReadRange(at + 2, uint64_t(length) * 2, &bytes)) return std::nullopt;
  std::u16string text(length, u'\0');
  for (uint16_t i = 0; i < length; ++i) text[i] = char16_t(LoadU16(bytes.data() + 2 * i));
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

const std::optional<TypeDirectoryIndex>& PeResourceTable::TypeDirectory(uint16_t type) {
  auto cached = types_.find(type);
  if (cached != types_.end()) return cached->second;
  std::optional<TypeDirectoryIndex>& result = types_[type];
  auto root = ReadDirectory(0);
  if (!root) return result;
  const DirectoryEntry* e = FindId(*root, type);
  // A type that leads back to the root would make the tree loop.
  if (!e || !e->IsDirectory() || e->Offset() == 0) return result;
  auto dir = ReadDirectory(e->Offset());
  if (!dir) return result;
  result = TypeDirectoryIndex{e->Offset(), std::move(*dir), {}};
  for (size_t i = result->dir.namedCount; i < result->dir.entries.size(); ++i) {
    const DirectoryEntry& entry = result->dir.entries[i];
    if (!entry.IsText()) result->ids.emplace(entry.Id(), uint32_t(i));
  }
  return result;
}

std::optional<std::vector<platform::ResourceName>> PeResourceTable::Names(uint16_t type) {
  const auto& typeDir = TypeDirectory(type);
  if (!typeDir) return std::nullopt;
  std::vector<platform::ResourceName> texts;
  std::vector<uint16_t> ids;
  for (const DirectoryEntry& e : typeDir->dir.entries) {
    if (e.IsText()) {
      // A name whose string is not in the file is left out.
      auto text = ReadText(e.name & ~kHighBit);
      if (text) texts.push_back(platform::ResourceName::FromText(narrow_(*text)));
    } else {
      ids.push_back(e.Id());
    }
  }
  // Well-formed modules store ids ascending and the system enumerates in
  // stored order; sorting only changes anything for a damaged table.
  std::stable_sort(ids.begin(), ids.end());
  for (uint16_t id : ids) texts.push_back(platform::ResourceName::FromId(id));
  // The system reports failure for a type without any entry.
  if (texts.empty()) return std::nullopt;
  return texts;
}

std::optional<ResourceLocation> PeResourceTable::Find(uint16_t type, const platform::ResourceName& name) {
  const auto& typeDir = TypeDirectory(type);
  if (!typeDir) return std::nullopt;
  const uint32_t typeOffset = typeDir->offset;
  const Directory& types = typeDir->dir;

  const DirectoryEntry* nameEntry = nullptr;
  if (name.IsId()) {
    auto it = typeDir->ids.find(name.Id());
    if (it != typeDir->ids.end()) nameEntry = &types.entries[it->second];
  } else {
    for (uint16_t i = 0; i < types.namedCount && i < types.entries.size(); ++i) {
      const DirectoryEntry& e = types.entries[i];
      if (!e.IsText()) continue;
      auto text = ReadText(e.name & ~kHighBit);
      if (text && ResourceTextEquals(narrow_(*text), name.Text())) {
        nameEntry = &e;
        break;
      }
    }
  }
  if (!nameEntry || !nameEntry->IsDirectory()) return std::nullopt;
  // Only three levels are ever walked, so a loop cannot run away; a name that
  // leads back to the root or to its type directory is refused all the same.
  if (nameEntry->Offset() == 0 || nameEntry->Offset() == typeOffset) return std::nullopt;
  auto languages = ReadDirectory(nameEntry->Offset());
  if (!languages) return std::nullopt;

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
  if (!data) return std::nullopt;

  uint8_t entry[kDataEntrySize];
  if (!source_.ReadAt(*root_ + data->Offset(), entry, sizeof entry)) return std::nullopt;
  const uint32_t rva = LoadU32(entry);
  const uint32_t size = LoadU32(entry + 4);
  auto offset = MapAddress(rva);
  if (!offset || !RangeFits(*offset, size, source_.Size())) return std::nullopt;
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
