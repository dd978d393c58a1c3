#include "codec/group_list.h"

#include <algorithm>
#include <cstdio>

#include "base/ansi_text.h"

namespace pk {

namespace {

// Sort weights of the word sort the list box uses. Hyphen and apostrophe are
// passed over at first and only separate texts that are otherwise equal.
constexpr std::string_view kPunctuationOrder = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";

bool IsIgnoredAtFirst(unsigned char c) { return c == '-' || c == '\''; }

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
