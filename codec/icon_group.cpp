#include "codec/icon_group.h"

#include <algorithm>
#include <cstdio>

#include "codec_messages.h"
#include "platform/message_box.h"

namespace pk {
namespace {

constexpr size_t kGroupHeaderSize = 6;  // reserved, type, image count
constexpr size_t kGroupEntrySize = 14;  // an .ico entry with a 16-bit id in place of the offset
constexpr size_t kGroupEntryIdOffset = 12;

void Report(const char* text, const char* modulePath) {
  platform::ShowMessage(platform::Owner::MainWindow, text, modulePath ? modulePath : "");
}

// The image count of a group directory whose entries all lie inside the
// resource; none otherwise. The directory is never read beyond its bytes.
std::optional<uint16_t> GroupImageCount(Bytes group) {
  ByteReader r(group);
  auto count = r.U16(4);
  if (!count) return std::nullopt;
  if (!RangeFits(kGroupHeaderSize, uint64_t(*count) * kGroupEntrySize, group.size())) return std::nullopt;
  return *count;
}

uint16_t GroupEntryId(Bytes group, uint16_t index) {
  return LoadU16(group.data() + kGroupHeaderSize + size_t(index) * kGroupEntrySize + kGroupEntryIdOffset);
}

}  // namespace

std::unique_ptr<IconSet> LoadIconGroupFromModule(platform::Module& module, const char* modulePath,
                                                 const platform::ResourceName& name) {
  auto group = module.FindResourceBytes(platform::kResourceTypeGroupIcon, name);
  if (!group) return nullptr;
  auto count = GroupImageCount(*group);
  if (!count) return nullptr;

  auto set = NewIconSet(*count);
  if (!set) {
    Report(msg::kGroupAllocFailed, modulePath);
    return nullptr;
  }
  set->imageCount = *count;
  SetRecordPath(set->moduleFilePath, modulePath ? modulePath : "");
  set->iconFilePath[0] = '\0';

  uint64_t total = 0;
  for (uint16_t i = 0; i < *count; ++i) {
    // The directory's own size field is not trusted: each image is exactly
    // the bytes of its icon resource.
    auto image = module.FindResourceBytes(platform::kResourceTypeIcon,
                                     platform::ResourceName::FromId(GroupEntryId(*group, i)));
    if (!image) return nullptr;
    total += image->size();
    IconSetImage& target = set->images[i];
    if (total > kMaxIconGroupBytes || !target.AssignData(*image)) {
      Report(msg::kGroupAllocFailed, modulePath);
      return nullptr;
    }
    if (!BindIconImage(&target)) {
      Report(msg::kGroupBindFailed, modulePath);
      return nullptr;
    }
  }
  return set;
}

std::unique_ptr<IconSet> LoadIconGroup(const char* modulePath, const platform::ResourceName* name) {
  auto module = platform::OpenModuleAsData(modulePath);
  if (!module) {
    Report(msg::kModuleOpenFailed, modulePath);
    return nullptr;
  }
  if (!name) return nullptr;
  return LoadIconGroupFromModule(*module, modulePath, *name);
}

platform::IconHandle LoadGroupPreviewIcon(platform::Module& module, const platform::ResourceName* name) {
  if (!name) return nullptr;
  auto group = module.FindResourceBytes(platform::kResourceTypeGroupIcon, *name);
  // A directory cut short is refused here too: the best-fit call would read
  // its entries beyond the resource.
  if (!group || !GroupImageCount(*group)) return nullptr;
  const uint16_t id = uint16_t(platform::LookupIconIdFromDirectory(*group) & 0xFFFF);
  auto image = module.FindResourceBytes(platform::kResourceTypeIcon, platform::ResourceName::FromId(id));
  if (!image) return nullptr;
  return platform::CreateIconFromImageDefaultSize(*image);
}

// ---- the main dialog's list of groups ----

namespace {

// Length of the longest prefix of `text` of at most `limit` bytes that does
// not split a double-byte character.
size_t CharBoundaryPrefix(std::string_view text, size_t limit) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t width = static_cast<unsigned char>(text[i]) >= 0x81 && i + 1 < text.size() ? 2 : 1;
    if (i + width > limit) break;
    i += width;
  }
  return i;
}

// Sort weights of the word sort the list box uses. Hyphen and apostrophe are
// passed over at first and only separate texts that are otherwise equal.
constexpr std::string_view kPunctuationOrder = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

bool IsIgnoredAtFirst(unsigned char c) { return c == '-' || c == '\''; }

uint32_t SortWeight(std::string_view text, size_t* i) {
  const auto c = static_cast<unsigned char>(text[*i]);
  ++*i;
  if (c >= 0x81 && *i < text.size()) {
    // Double-byte characters follow every ASCII one, in code order (which
    // for GBK's common characters is their pinyin order).
    const auto trail = static_cast<unsigned char>(text[*i]);
    ++*i;
    return 0x10000u + (uint32_t(c) << 8) + trail;
  }
  if (c < 0x20 || c == 0x7F) return c;  // control characters come first
  if (auto p = kPunctuationOrder.find(char(c)); p != std::string_view::npos) return 0x100 + uint32_t(p);
  if (c >= '0' && c <= '9') return 0x200 + (c - '0');
  if (c >= 'a' && c <= 'z') return 0x300 + (c - 'a');
  if (c >= 'A' && c <= 'Z') return 0x300 + (c - 'A');
  return 0x400 + c;  // single bytes above 0x7F
}

int CompareWeights(std::string_view a, std::string_view b, bool skipIgnored) {
  size_t i = 0, j = 0;
  for (;;) {
    if (skipIgnored) {
      while (i < a.size() && IsIgnoredAtFirst(static_cast<unsigned char>(a[i]))) ++i;
      while (j < b.size() && IsIgnoredAtFirst(static_cast<unsigned char>(b[j]))) ++j;
    }
    if (i == a.size() || j == b.size()) return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
    const uint32_t wa = SortWeight(a, &i), wb = SortWeight(b, &j);
    if (wa != wb) return wa < wb ? -1 : 1;
  }
}

}  // namespace

std::string IconGroupEntryText(const platform::ResourceName& name) {
  std::string text;
  if (name.IsId()) {
    char buffer[kListEntryBufferSize];
    std::snprintf(buffer, sizeof buffer, "Icon [%u]", unsigned(name.Id()));
    text = buffer;
  } else {
    text = "Icon [" + name.Text() + "]";
  }
  text.resize(CharBoundaryPrefix(text, kListEntryBufferSize - 1));
  return text;
}

int CompareListText(std::string_view a, std::string_view b) {
  if (int r = CompareWeights(a, b, true)) return r;
  return CompareWeights(a, b, false);
}

std::optional<std::vector<IconGroupEntry>> ListIconGroups(platform::Module& module) {
  std::vector<IconGroupEntry> entries;
  const bool ok = module.EnumerateNames(platform::kResourceTypeGroupIcon, [&](const platform::ResourceName& name) {
    entries.push_back({IconGroupEntryText(name), name});
    return true;
  });
  if (!ok) return std::nullopt;
  // A sorted list box puts each new entry at its sorted place; entries that
  // compare equal keep the order they were added in.
  std::stable_sort(entries.begin(), entries.end(), [](const IconGroupEntry& x, const IconGroupEntry& y) {
    return CompareListText(x.text, y.text) < 0;
  });
  return entries;
}

}  // namespace pk
