// Our module resource reader (PE32, PE32+, NE) on arbitrary bytes, with the
// group loader, the list, the preview's icon and the best-fit choice on
// whatever it finds: every read must stay inside the input, every walk must
// end.
//
// Plain byte mutation rarely gets past a module's headers, and real modules
// are large and slow to read, so the target has its own mutator:
// - now and then a new small module from the generator (PE32, PE32+ or NE
//   with a few groups and icons, fuzz/module_generator.h);
// - most often one to three fields of the input's resource tree, found by
//   following its tables, set in place to values trees are made of (counts,
//   names, subdirectory offsets, addresses and sizes just inside and just
//   past the section, group ids, image header fields, NE shifts);
// - byte mutations inside the resource data, the headers left as they are;
// - and libFuzzer's own mutations of the whole input.
#include <cstring>
#include <map>

#include "codec/group_list.h"
#include "codec/icon_group.h"
#include "fuzz/module_generator.h"
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

}  // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  pk::fuzz::Choices c(seed);
  const uint32_t pick = c.Below(16);
  if (pick == 0) {
    // A fresh module; most are a few kilobytes.
    auto module = pk::fuzz::GenerateModule(c);
    if (module.size() <= maxSize) {
      std::memcpy(data, module.data(), module.size());
      return module.size();
    }
  }
  if (pick < 8 && pk::fuzz::MutateTree(c, data, size)) return size;
  auto region = pk::fuzz::FindResourceRegion(data, size);
  // And whenever the headers are not whole, anything goes.
  if (!region || pick >= 12) return LLVMFuzzerMutate(data, size, maxSize);
  uint8_t* bytes = data + region->start;
  if (pick < 10) {
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
  // Values trees are made of over 4-byte-aligned places of the region, for
  // what the tree's own tables do not lead to.
  const uint32_t length = uint32_t(region->size);
  const uint32_t values[] = {
      0, 1, 2, 3, 14, 0xFFFF, 0x7FFF, 0x8000,        // type ids and counts
      c.Below(length),                                // an offset inside
      0x80000000u | c.Below(length),                  // a subdirectory inside
      0x80000000u | length, length, length - 1,       // just past and at the end
      region->rva + c.Below(length),                  // an address inside
      region->rva + length, region->rva - 1,          // addresses just outside
      0x7FFFFFFF, 0xFFFFFFFF, 0x80000000u,            // sign and wrap
      c.Any(),
  };
  const uint32_t fields = 1 + c.Below(4);
  for (uint32_t k = 0; k < fields && region->size >= 4; ++k) {
    const size_t at = size_t(c.Below(uint32_t(region->size / 4))) * 4;
    const uint32_t v = c.From(values);
    const int width = c.OneIn(3) ? 2 : 4;  // a 16-bit field: a count or an id
    for (int b = 0; b < width; ++b) bytes[at + b] = uint8_t(v >> (8 * b));
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
