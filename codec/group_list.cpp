#include "codec/group_list.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>

#include "base/ansi_text.h"

namespace pk {

namespace {

// Sort weights of the word sort the list box uses. Hyphen and apostrophe are
// passed over at first and only separate texts that are otherwise equal.
constexpr std::string_view kPunctuationOrder = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

bool IsIgnoredAtFirst(unsigned char c) { return c == '-' || c == '\''; }

// The weight of each byte standing alone, worked out once: a list of
// thousands of names compares long texts byte by byte many times over.
constexpr std::array<uint16_t, 256> kByteWeights = [] {
  std::array<uint16_t, 256> weights{};
  for (uint32_t c = 0; c < 256; ++c) {
    if (c < 0x20 || c == 0x7F) {
      weights[c] = uint16_t(c);  // control characters come first
    } else if (auto p = kPunctuationOrder.find(char(c)); p != std::string_view::npos) {
      weights[c] = uint16_t(0x100 + p);
    } else if (c >= '0' && c <= '9') {
      weights[c] = uint16_t(0x200 + (c - '0'));
    } else if (c >= 'a' && c <= 'z') {
      weights[c] = uint16_t(0x300 + (c - 'a'));
    } else if (c >= 'A' && c <= 'Z') {
      weights[c] = uint16_t(0x300 + (c - 'A'));
    } else {
      weights[c] = uint16_t(0x400 + c);  // single bytes above 0x7F
    }
  }
  return weights;
}();

uint32_t SortWeight(std::string_view text, size_t* i) {
  const auto c = static_cast<unsigned char>(text[*i]);
  ++*i;
  if (IsLeadByte(c) && *i < text.size()) {
    // Double-byte characters follow every ASCII one, in code order (which
    // for GBK's common characters is their pinyin order).
    const auto trail = static_cast<unsigned char>(text[*i]);
    ++*i;
    return 0x10000u + (uint32_t(c) << 8) + trail;
  }
  return kByteWeights[c];
}

// A text's weights in the list's order: first without its hyphens and
// apostrophes, then with them. Texts compare by the first sequence, then the
// second, a shorter one before any it begins. Worked out once per entry, a
// list of thousands of names is sorted on these alone.
struct SortKey {
  std::vector<uint32_t> first, second;
};

SortKey MakeSortKey(std::string_view text) {
  SortKey key;
  key.second.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const bool ignored = IsIgnoredAtFirst(static_cast<unsigned char>(text[i]));
    const uint32_t weight = SortWeight(text, &i);
    if (!ignored) key.first.push_back(weight);
    key.second.push_back(weight);
  }
  return key;
}

int CompareKeys(const SortKey& a, const SortKey& b) {
  if (a.first != b.first) return a.first < b.first ? -1 : 1;
  if (a.second != b.second) return a.second < b.second ? -1 : 1;
  return 0;
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
  return CompareKeys(MakeSortKey(a), MakeSortKey(b));
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
  std::vector<SortKey> keys;
  keys.reserve(entries.size());
  for (const IconGroupEntry& e : entries) keys.push_back(MakeSortKey(e.text));
  std::vector<size_t> order(entries.size());
  std::iota(order.begin(), order.end(), size_t(0));
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return CompareKeys(keys[x], keys[y]) < 0; });
  std::vector<IconGroupEntry> sorted;
  sorted.reserve(entries.size());
  for (size_t i : order) sorted.push_back(std::move(entries[i]));
  return sorted;
}

}  // namespace pk
