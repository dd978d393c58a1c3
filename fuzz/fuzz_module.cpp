// Our module resource reader (PE32, PE32+, NE) on arbitrary bytes, with the
// group loader, the list and the best-fit choice on whatever it finds: every
// read must stay inside the input, every walk must end.
#include <map>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    pk::platform::SetMessageSink([](pk::platform::Owner, std::string_view, std::string_view) {});
    return true;
  }();
  (void)quiet;
  pk::portable::MemoryByteSource source(pk::Bytes(data, size));
  auto table = pk::portable::OpenResourceTable(source, Narrow);
  if (!table) return 0;
  MemoryModule module(source, *table);
  (void)table->Names(pk::platform::kResourceTypeIcon);
  auto entries = pk::ListIconGroups(module);
  if (!entries) return 0;
  size_t loaded = 0;
  for (const pk::IconGroupEntry& e : *entries) {
    if (auto group = module.FindResourceBytes(pk::platform::kResourceTypeGroupIcon, e.name))
      (void)pk::portable::ChooseBestIconId(*group);
    // Loading copies every image, and many groups may share one large
    // directory; a few loads per input cover the loader.
    if (loaded++ < 4) (void)pk::LoadIconGroupFromModule(module, "fuzz.dll", e.name);
  }
  return 0;
}
