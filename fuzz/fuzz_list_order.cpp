// The list-order comparison on arbitrary GBK-ish text: three entry texts cut
// from the input (at zero bytes) must compare as a total order would, since
// std::stable_sort relies on it, and entry texts made from names must fit the
// list's buffer as a prefix of the whole text.
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/group_list.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string_view text[3];
  size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const size_t end = k < 2 ? std::min(input.find('\0', start), input.size()) : input.size();
    text[k] = input.substr(std::min(start, input.size()), end - std::min(start, end));
    start = end + 1;
  }
  const auto& [a, b, c] = text;
  const int ab = pk::CompareListText(a, b), ba = pk::CompareListText(b, a);
  const int bc = pk::CompareListText(b, c), ac = pk::CompareListText(a, c);
  if (pk::CompareListText(a, a) != 0) std::abort();
  if (Sign(ab) != -Sign(ba)) std::abort();
  if (ab <= 0 && bc <= 0 && ac > 0) std::abort();
  if (ab == 0 && Sign(ac) != Sign(bc)) std::abort();

  const std::string name(a);
  const std::string entry = pk::IconGroupEntryText(pk::platform::ResourceName::FromText(name));
  const std::string whole = "Icon [" + name + "]";
  if (entry.size() >= pk::kListEntryBufferSize || whole.compare(0, entry.size(), entry) != 0) std::abort();
  if (whole.size() < pk::kListEntryBufferSize && entry != whole) std::abort();
  return 0;
}
