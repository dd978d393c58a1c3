// The .ico reader on arbitrary bytes, read from memory: it must refuse or
// read them without touching memory outside its buffers; what it reads must
// pass the check made before the shell's extraction sees a file, and encode
// and read back to the same images.
#include <cstdlib>
#include <cstring>

#include "codec/ico_file.h"
#include "platform/file.h"
#include "platform/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    pk::platform::SetMessageSink([](pk::platform::Owner, const pk::platform::Message&) {});
    return true;
  }();
  (void)quiet;
  pk::platform::MemoryFile file(pk::Bytes(data, size));
  auto set = pk::ReadIconFile(file, "fuzz.ico");
  // The check made before the shell's extraction sees the file: every file
  // the reader takes with an image in it is whole.
  pk::platform::MemoryFile again(pk::Bytes(data, size));
  const bool whole = pk::IconDirectoryFitsFile(again);
  if (set && (*set)->imageCount > 0 && !whole) std::abort();
  if (!set) return 0;
  auto encoded = pk::EncodeIconFile(**set);
  if (!encoded) return 0;  // a record that does not fit the format's offsets
  pk::platform::MemoryFile written(*encoded);
  auto back = pk::ReadIconFile(written, "fuzz.ico");
  if (!back || (*back)->imageCount != (*set)->imageCount) std::abort();
  for (uint32_t i = 0; i < (*set)->imageCount; ++i) {
    const pk::IconSetImage &a = (*set)->images[i], &b = (*back)->images[i];
    if (a.dataSize != b.dataSize) std::abort();
    // Written DIB headers carry biSizeImage 0; every other byte is kept.
    const size_t skip = a.format == pk::ImageFormat::Dib && a.dataSize >= 40 ? 20 : a.dataSize;
    if (std::memcmp(a.data.get(), b.data.get(), skip) != 0 ||
        (skip < a.dataSize && std::memcmp(a.data.get() + 24, b.data.get() + 24, a.dataSize - 24) != 0))
      std::abort();
  }
  return 0;
}
