// Our module resource reader (PE32, PE32+, NE) on arbitrary bytes, with the
// group loader, the list, the preview's icon and the best-fit choice on
// whatever it finds: every read must stay inside the input, every walk must
// end.
//
// Plain byte mutation rarely gets past a module's headers, so the target has
// its own mutator: most mutations land inside the resource data (the section
// a PE's resource directory points into, an NE's resource table onwards),
// half of them as values resource trees are made of, written over 4-byte
// aligned fields: type ids, counts, offsets with and without the subdirectory
// bit, sizes and addresses just inside and just past the section.
#include <cstring>
#include <map>
#include <random>

#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "platform/message_box.h"
#include "platform/portable/core/icon_best_fit.h"
#include "platform/portable/core/resource_table.h"

namespace {

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out.push_back(c < 0x80 ? char(c) : '?');
  return out;
}

class MemoryModule final : public pk::platform::Module {
 public:
  MemoryModule(pk::portable::ByteSource& source, pk::portable::ResourceTable& table) : source_(source), table_(table) {}
  std::optional<std::span<const uint8_t>> FindResourceBytes(uint16_t type, const pk::platform::ResourceName& name) override {
    auto location = table_.Find(type, name);
    if (!location) return std::nullopt;
    auto& bytes = loaded_[{location->offset, location->size}];
    if (!source_.ReadRange(location->offset, location->size, &bytes)) std::abort();  // Find promised the range
    return std::span<const uint8_t>(bytes.data(), bytes.size());
  }
  bool EnumerateNames(uint16_t type, const std::function<bool(const pk::platform::ResourceName&)>& callback) override {
    auto names = table_.Names(type);
    if (!names) return false;
    for (const auto& n : *names)
      if (!callback(n)) return false;
    return true;
  }

 private:
  pk::portable::ByteSource& source_;
  pk::portable::ResourceTable& table_;
  std::map<std::pair<uint64_t, uint32_t>, std::vector<uint8_t>> loaded_;
};

uint32_t Load16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Load32(const uint8_t* p) { return Load16(p) | Load16(p + 2) << 16; }

struct Region {
  size_t start = 0, size = 0;
  uint32_t rva = 0;  // the address of `start` once loaded (PE), else 0
};

// Where the resource data of the module in `data` lies, if its headers are
// whole enough to say. Every field is checked against `size` before use.
std::optional<Region> ResourceRegion(const uint8_t* data, size_t size) {
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return std::nullopt;
  const size_t header = Load32(data + 0x3C);
  if (header > size || size - header < 0x40) return std::nullopt;
  const uint8_t* h = data + header;
  if (h[0] == 'N' && h[1] == 'E') {
    const size_t table = header + Load16(h + 0x24);
    if (table >= size) return std::nullopt;
    return Region{table, size - table, 0};
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
    return Region{start, end - start, resourceRva};
  }
  return std::nullopt;
}

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  std::minstd_rand random(seed);
  auto region = ResourceRegion(data, size);
  // A quarter of the time, and whenever the headers are not whole, anything goes.
  if (!region || random() % 4 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  uint8_t* bytes = data + region->start;
  if (random() % 2 == 0) {
    // Byte mutations inside the region; what lies before and after it stays.
    const size_t tail = size - region->start - region->size;
    if (maxSize < size) return LLVMFuzzerMutate(data, size, maxSize);
    std::vector<uint8_t> part(bytes, bytes + region->size);
    part.resize(region->size + std::min<size_t>(64, maxSize - size));
    part.resize(LLVMFuzzerMutate(part.data(), region->size, part.size()));
    std::vector<uint8_t> after(bytes + region->size, bytes + region->size + tail);
    std::memcpy(bytes, part.data(), part.size());
    std::memcpy(bytes + part.size(), after.data(), after.size());
    return region->start + part.size() + after.size();
  }
  const uint32_t length = uint32_t(region->size);
  const uint32_t values[] = {
      0, 1, 2, 3, 14, 0xFFFF, 0x7FFF, 0x8000,       // type ids and counts
      uint32_t(random() % length),                   // an offset inside
      0x80000000u | uint32_t(random() % length),     // a subdirectory inside
      0x80000000u | length, length, length - 1,      // just past and at the end
      region->rva + uint32_t(random() % length),     // an address inside
      region->rva + length, region->rva - 1,         // addresses just outside
      0x7FFFFFFF, 0xFFFFFFFF, 0x80000000u,           // sign and wrap
      uint32_t(random()),
  };
  const int fields = 1 + int(random() % 4);
  for (int k = 0; k < fields && region->size >= 4; ++k) {
    const size_t at = (random() % (region->size / 4)) * 4;
    uint32_t v = values[random() % std::size(values)];
    if (random() % 3 == 0) {  // a 16-bit field: a count or an id
      bytes[at] = uint8_t(v);
      bytes[at + 1] = uint8_t(v >> 8);
      continue;
    }
    for (int b = 0; b < 4; ++b) bytes[at + b] = uint8_t(v >> (8 * b));
  }
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    pk::platform::SetMessageSink([](pk::platform::Owner, const pk::platform::Message&) {});
    return true;
  }();
  (void)quiet;
  pk::portable::MemoryByteSource source(pk::Bytes(data, size));
  auto table = pk::portable::OpenResourceTable(source, Narrow);
  if (!table) return 0;
  MemoryModule module(source, *table);
  (void)table->Names(pk::platform::kResourceTypeIcon);
  // Mutated tables often name thousands of groups; sorting them for the list
  // would be most of the work, and the order is fuzzed on its own. Large
  // tables are walked and looked up in table order instead.
  auto names = table->Names(pk::platform::kResourceTypeGroupIcon);
  std::vector<pk::platform::ResourceName> groups;
  if (names && names->size() > 256) {
    groups.assign(names->begin(), names->begin() + 16);
  } else if (auto entries = pk::ListIconGroups(module)) {
    for (const pk::IconGroupEntry& e : *entries) groups.push_back(e.name);
  }
  // Finding a resource walks the table, so each group looked up costs the
  // whole table again: the first groups stand for the rest.
  size_t loaded = 0, chosen = 0;
  for (const pk::platform::ResourceName& name : groups) {
    if (chosen++ == 16) break;
    if (auto group = module.FindResourceBytes(pk::platform::kResourceTypeGroupIcon, name))
      (void)pk::portable::ChooseBestIconId(*group);
    (void)pk::LoadGroupPreviewIcon(module, &name);
    // Loading copies every image, and many groups may share one large
    // directory; a few loads per input cover the loader.
    if (loaded++ < 4) (void)pk::LoadIconGroupFromModule(module, "fuzz.dll", name);
  }
  return 0;
}
