// The output-name cleaner on arbitrary text: whatever comes in, the result
// must be a safe piece of one file name, and cleaning it again must change
// nothing. The first byte picks the encoding and the length bound. The same
// bytes also go through the content sniffer, which reads the first bytes of
// every input file.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/file_kind.h"
#include "codec/safe_name.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  (void)pk::SniffFileKind(pk::Bytes(data, size));
  if (size == 0) return 0;
  const auto encoding = (data[0] & 1) ? pk::NameEncoding::Utf8 : pk::NameEncoding::Gbk;
  const size_t maxBytes = (data[0] >> 1) + 1;  // 1 to 128
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string out = pk::SafeNamePiece(text, encoding, maxBytes);
  Check(!out.empty() && out.size() <= std::max<size_t>(maxBytes, 2));
  // Below 0x40 no byte can be part of a multi-byte character; '\\' and '|' can
  // be GBK trail bytes.
  Check(out.find_first_of("/:*?\"<>") == std::string::npos);
  if (encoding == pk::NameEncoding::Utf8) Check(out.find_first_of("\\|") == std::string::npos);
  for (unsigned char c : out) Check(c >= 0x20 && c != 0x7F);
  Check(out.front() != '.' && out.back() != '.' && out.back() != ' ');
  Check(out.find("..") == std::string::npos);
  Check(!pk::IsWindowsDeviceName(out));
  // Clean text stays as it is: every character was well formed and allowed.
  Check(pk::SafeNamePiece(out, encoding, out.size() + 1) == out);
  return 0;
}
