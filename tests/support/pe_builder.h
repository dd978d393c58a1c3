// Builders of modules with chosen resources: PE32 and PE32+ (.exe, .dll) and
// 16-bit NE (.icl), plus group-icon directories. Each build also says where it
// put its tables, so a test can damage exactly one field.
#pragma once

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ico_builder.h"

namespace pk::test {

inline constexpr uint16_t kRtIcon = 3;
inline constexpr uint16_t kRtGroupIcon = 14;

// A resource name as a module stores it: an integer id or a UTF-16 text.
struct ResKey {
  bool isId = true;
  uint16_t id = 0;
  std::u16string text;
};
inline ResKey ById(uint16_t id) { return {true, id, {}}; }
inline ResKey ByName(std::u16string text) { return {false, 0, std::move(text)}; }

// One entry of a group-icon directory.
struct GroupEntry {
  uint8_t width = 32, height = 32;
  uint16_t bitCount = 32;
  uint32_t bytesInRes = 0;
  uint16_t id = 1;
};

// A group-icon directory (6-byte header, 14-byte entries). `count` overrides
// the header's count; `reserved`/`type` make malformed headers.
inline ByteVector GroupDirectory(const std::vector<GroupEntry>& entries, std::optional<uint16_t> count = {},
                                 uint16_t type = 1, uint16_t reserved = 0) {
  ByteVector v;
  PutU16(v, reserved);
  PutU16(v, type);
  PutU16(v, count ? *count : uint16_t(entries.size()));
  for (const GroupEntry& e : entries) {
    v.push_back(e.width);
    v.push_back(e.height);
    v.push_back(e.bitCount < 8 ? uint8_t(1u << e.bitCount) : 0);
    v.push_back(0);
    PutU16(v, 1);
    PutU16(v, e.bitCount);
    PutU32(v, e.bytesInRes);
    PutU16(v, e.id);
  }
  return v;
}

// Where a built PE module keeps its parts (file offsets unless said otherwise).
struct PeLayout {
  ByteVector bytes;
  uint32_t ntHeader = 0;     // "PE\0\0"
  uint32_t optionalHeader = 0;
  uint32_t sectionHeader = 0;
  uint32_t root = 0;         // the resource tree's root directory
  std::map<uint16_t, uint32_t> typeEntry;      // the root's entry of each type
  std::map<uint16_t, uint32_t> typeDirectory;  // each type's directory
  // Per type, in tree order: the name-level entries, the language-level
  // entries and the data entries.
  std::map<uint16_t, std::vector<uint32_t>> nameEntries, languageEntries, dataEntries;
};

// A module with one section, ".rsrc", holding a resource tree built the way a
// resource compiler builds it: types ascending; text names first (sorted),
// then ids ascending; languages ascending.
class PeBuilder {
 public:
  PeBuilder& Pe32Plus(bool on = true) {
    pe32Plus_ = on;
    return *this;
  }
  PeBuilder& Add(uint16_t type, ResKey name, ByteVector data, uint16_t lang = 0) {
    resources_.push_back({type, std::move(name), lang, std::move(data)});
    return *this;
  }
  PeBuilder& Icon(uint16_t id, ByteVector image, uint16_t lang = 0) {
    return Add(kRtIcon, ById(id), std::move(image), lang);
  }
  PeBuilder& Group(ResKey name, ByteVector directory, uint16_t lang = 0) {
    return Add(kRtGroupIcon, std::move(name), std::move(directory), lang);
  }

  PeLayout Build() const {
    // type -> name -> language -> data
    struct NameNode {
      ResKey key;
      std::map<uint16_t, const ByteVector*> langs;
    };
    std::map<uint16_t, std::vector<NameNode>> tree;
    for (const Resource& r : resources_) {
      auto& names = tree[r.type];
      auto it = std::find_if(names.begin(), names.end(), [&](const NameNode& n) { return SameKey(n.key, r.name); });
      if (it == names.end()) {
        names.push_back({r.name, {}});
        it = names.end() - 1;
      }
      it->langs[r.lang] = &r.data;
    }
    for (auto& [type, names] : tree)
      std::stable_sort(names.begin(), names.end(), [](const NameNode& a, const NameNode& b) {
        if (a.key.isId != b.key.isId) return !a.key.isId;
        if (a.key.isId) return a.key.id < b.key.id;
        return Upper(a.key.text) < Upper(b.key.text);
      });

    // Section layout: all directories, then data entries, strings, data.
    uint32_t dirBytes = 16 + 8 * uint32_t(tree.size());
    uint32_t dataEntryCount = 0, stringBytes = 0;
    for (auto& [type, names] : tree) {
      dirBytes += 16 + 8 * uint32_t(names.size());
      for (const NameNode& n : names) {
        dirBytes += 16 + 8 * uint32_t(n.langs.size());
        dataEntryCount += uint32_t(n.langs.size());
        if (!n.key.isId) stringBytes += 2 + 2 * uint32_t(n.key.text.size());
      }
    }
    const uint32_t dataEntriesAt = dirBytes;
    const uint32_t stringsAt = dataEntriesAt + 16 * dataEntryCount;
    uint32_t dataAt = Align(stringsAt + stringBytes, 8);

    ByteVector sec(dataAt, 0);
    PeLayout layout;
    const uint32_t fileHeaders = 0x200, sectionRva = 0x1000;
    uint32_t nextDir = 0, nextData = dataEntriesAt, nextString = stringsAt;
    auto dirHeader = [&](uint32_t at, uint16_t named, uint16_t ids) {
      StoreU16(&sec[at + 12], named);
      StoreU16(&sec[at + 14], ids);
    };
    const uint32_t rootAt = nextDir;
    nextDir += 16 + 8 * uint32_t(tree.size());
    dirHeader(rootAt, 0, uint16_t(tree.size()));
    uint32_t typeIndex = 0;
    for (auto& [type, names] : tree) {
      const uint32_t typeAt = nextDir;
      nextDir += 16 + 8 * uint32_t(names.size());
      const uint32_t rootEntry = rootAt + 16 + 8 * typeIndex++;
      StoreU32(&sec[rootEntry], type);
      StoreU32(&sec[rootEntry + 4], 0x80000000u | typeAt);
      layout.typeEntry[type] = fileHeaders + rootEntry;
      layout.typeDirectory[type] = fileHeaders + typeAt;
      uint16_t named = 0;
      for (const NameNode& n : names) named += n.key.isId ? 0 : 1;
      dirHeader(typeAt, named, uint16_t(names.size() - named));
      for (size_t i = 0; i < names.size(); ++i) {
        const NameNode& n = names[i];
        const uint32_t nameEntry = typeAt + 16 + 8 * uint32_t(i);
        const uint32_t nameAt = nextDir;
        nextDir += 16 + 8 * uint32_t(n.langs.size());
        if (n.key.isId) {
          StoreU32(&sec[nameEntry], n.key.id);
        } else {
          StoreU32(&sec[nameEntry], 0x80000000u | nextString);
          StoreU16(&sec[nextString], uint16_t(n.key.text.size()));
          for (size_t k = 0; k < n.key.text.size(); ++k) StoreU16(&sec[nextString + 2 + 2 * k], n.key.text[k]);
          nextString += 2 + 2 * uint32_t(n.key.text.size());
        }
        StoreU32(&sec[nameEntry + 4], 0x80000000u | nameAt);
        layout.nameEntries[type].push_back(fileHeaders + nameEntry);
        dirHeader(nameAt, 0, uint16_t(n.langs.size()));
        uint32_t k = 0;
        for (auto& [lang, data] : n.langs) {
          const uint32_t langEntry = nameAt + 16 + 8 * k++;
          StoreU32(&sec[langEntry], lang);
          StoreU32(&sec[langEntry + 4], nextData);
          layout.languageEntries[type].push_back(fileHeaders + langEntry);
          layout.dataEntries[type].push_back(fileHeaders + nextData);
          sec.resize(dataAt + data->size());
          std::copy(data->begin(), data->end(), sec.begin() + dataAt);
          StoreU32(&sec[nextData], sectionRva + dataAt);
          StoreU32(&sec[nextData + 4], uint32_t(data->size()));
          nextData += 16;
          dataAt = Align(dataAt + uint32_t(data->size()), 8);
        }
      }
    }
    const uint32_t sectionSize = uint32_t(sec.size());
    sec.resize(Align(sectionSize, 0x200), 0);

    // Headers: DOS stub header, "PE\0\0", file header, optional header, one section.
    ByteVector& v = layout.bytes;
    v.assign(fileHeaders, 0);
    v[0] = 'M';
    v[1] = 'Z';
    layout.ntHeader = 0x40;
    StoreU32(&v[0x3C], layout.ntHeader);
    uint8_t* nt = &v[layout.ntHeader];
    nt[0] = 'P';
    nt[1] = 'E';
    const uint16_t optionalSize = pe32Plus_ ? 240 : 224;
    StoreU16(nt + 4, pe32Plus_ ? 0x8664 : 0x014C);
    StoreU16(nt + 6, 1);
    StoreU16(nt + 20, optionalSize);
    StoreU16(nt + 22, 0x2102);  // executable, 32-bit machine, DLL
    layout.optionalHeader = layout.ntHeader + 24;
    uint8_t* opt = &v[layout.optionalHeader];
    StoreU16(opt, pe32Plus_ ? 0x20B : 0x10B);
    if (pe32Plus_)
      StoreU32(opt + 28, 0x1);  // ImageBase 0x100000000 (high half)
    else
      StoreU32(opt + 28, 0x10000000);
    StoreU32(opt + 32, 0x1000);  // SectionAlignment
    StoreU32(opt + 36, 0x200);   // FileAlignment
    StoreU16(opt + 40, 4);       // operating system version
    StoreU16(opt + 48, 4);       // subsystem version
    StoreU32(opt + 56, sectionRva + Align(sectionSize, 0x1000));  // SizeOfImage
    StoreU32(opt + 60, fileHeaders);                              // SizeOfHeaders
    StoreU16(opt + 68, 2);                                        // GUI subsystem
    const uint32_t dirs = pe32Plus_ ? 112 : 96;
    StoreU32(opt + dirs - 4, 16);  // NumberOfRvaAndSizes
    StoreU32(opt + dirs + 16, sectionRva);
    StoreU32(opt + dirs + 20, stringsAt + stringBytes);
    layout.sectionHeader = layout.optionalHeader + optionalSize;
    uint8_t* s = &v[layout.sectionHeader];
    std::copy_n(".rsrc", 5, s);
    StoreU32(s + 8, sectionSize);
    StoreU32(s + 12, sectionRva);
    StoreU32(s + 16, uint32_t(sec.size()));
    StoreU32(s + 20, fileHeaders);
    StoreU32(s + 36, 0x40000040);  // initialised data, readable
    layout.root = fileHeaders + rootAt;
    v.insert(v.end(), sec.begin(), sec.end());
    return layout;
  }

 private:
  struct Resource {
    uint16_t type;
    ResKey name;
    uint16_t lang;
    ByteVector data;
  };
  static uint32_t Align(uint32_t x, uint32_t a) { return (x + a - 1) / a * a; }
  static bool SameKey(const ResKey& a, const ResKey& b) {
    return a.isId == b.isId && (a.isId ? a.id == b.id : a.text == b.text);
  }
  static std::u16string Upper(std::u16string s) {
    for (char16_t& c : s)
      if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    return s;
  }
  bool pe32Plus_ = false;
  std::vector<Resource> resources_;
};

// A 16-bit NE module as classic icon libraries are made: an MZ header that
// points at "NE", and a resource table with offsets in units of
// 1 << alignShift. Each resource's stored length is rounded up to whole
// units, so it is larger than the resource.
class NeBuilder {
 public:
  struct Layout {
    ByteVector bytes;
    uint32_t table = 0;  // file offset of the resource table (its alignment shift)
  };

  NeBuilder& AlignShift(uint16_t shift) {
    shift_ = shift;
    return *this;
  }
  // `name`: an integer id, or (isId false) an 8-bit text name.
  NeBuilder& Add(uint16_t type, bool isId, uint16_t id, std::string text, ByteVector data) {
    resources_.push_back({type, isId, id, std::move(text), std::move(data)});
    return *this;
  }

  Layout Build() const {
    Layout layout;
    ByteVector& v = layout.bytes;
    v.assign(0x40, 0);
    v[0] = 'M';
    v[1] = 'Z';
    const uint32_t ne = 0x40;
    StoreU32(&v[0x3C], ne);
    v.resize(ne + 0x40, 0);
    v[ne] = 'N';
    v[ne + 1] = 'E';
    const uint16_t tableOffset = 0x40;  // from the NE header
    layout.table = ne + tableOffset;

    std::map<uint16_t, std::vector<const Resource*>> byType;
    for (const Resource& r : resources_) byType[r.type].push_back(&r);
    // Table: shift, TYPEINFO blocks, terminator, then the names.
    uint32_t tableSize = 2 + 2;
    for (auto& [type, list] : byType) tableSize += 8 + 12 * uint32_t(list.size());
    ByteVector names;
    std::map<const Resource*, uint16_t> nameOffset;
    for (const Resource& r : resources_) {
      if (r.isId) continue;
      nameOffset[&r] = uint16_t(tableSize + names.size());
      names.push_back(uint8_t(r.text.size()));
      names.insert(names.end(), r.text.begin(), r.text.end());
    }
    names.push_back(0);
    const uint32_t tableEnd = layout.table + tableSize + uint32_t(names.size());
    StoreU16(&v[ne + 0x24], tableOffset);
    StoreU16(&v[ne + 0x26], uint16_t(tableEnd - ne));  // resident names follow the table

    const uint32_t unit = 1u << shift_;
    uint32_t dataAt = (tableEnd + unit - 1) / unit * unit;
    ByteVector table;
    PutU16(table, shift_);
    ByteVector data;
    for (auto& [type, list] : byType) {
      PutU16(table, uint16_t(0x8000 | type));
      PutU16(table, uint16_t(list.size()));
      PutU32(table, 0);
      for (const Resource* r : list) {
        const uint32_t units = (uint32_t(r->data.size()) + unit - 1) / unit;
        PutU16(table, uint16_t(dataAt / unit));
        PutU16(table, uint16_t(units));
        PutU16(table, 0x30);
        PutU16(table, r->isId ? uint16_t(0x8000 | r->id) : nameOffset.at(r));
        PutU32(table, 0);
        const uint32_t at = dataAt - tableEnd;
        data.resize(at + units * unit, 0);
        std::copy(r->data.begin(), r->data.end(), data.begin() + at);
        dataAt += units * unit;
      }
    }
    PutU16(table, 0);
    table.insert(table.end(), names.begin(), names.end());
    v.resize(layout.table);
    v.insert(v.end(), table.begin(), table.end());
    v.insert(v.end(), data.begin(), data.end());
    // Padding up to the first unit boundary lies between the table and the data.
    return layout;
  }

 private:
  struct Resource {
    uint16_t type;
    bool isId;
    uint16_t id;
    std::string text;
    ByteVector data;
  };
  uint16_t shift_ = 4;
  std::vector<Resource> resources_;
};

}  // namespace pk::test
