// The .ico reader on arbitrary bytes: it must refuse or read them without
// touching memory outside its buffers; what it reads must write back whole.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/ico_file.h"
#include "platform/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/pk-fuzz-ico-XXXXXX";
    const char* d = mkdtemp(pattern);
    pk::platform::SetMessageSink([](pk::platform::Owner, std::string_view, std::string_view) {});
    return std::string(d ? d : "/tmp");
  }();
  const std::string in = dir + "/in.ico", out = dir + "/out.ico";
  std::FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  if (auto set = pk::LoadIconFile(in.c_str())) {
    for (uint32_t i = 0; i < set->imageCount; ++i) (void)pk::IconHandleFromImage(&set->images[i]);
    if (!pk::SaveIconFile(*set, out.c_str())) std::abort();
    auto again = pk::LoadIconFile(out.c_str());
    if (!again || again->imageCount != set->imageCount) std::abort();
  }
  return 0;
}
