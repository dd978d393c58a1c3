// Arbitrary packed DIBs made into icon images of arbitrary (bounded) size and
// depth: the conversion must refuse or produce an image in the icon layout
// that binds, exports and goes to the clipboard whole.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/dib_format.h"
#include "codec/bitmap_icon.h"
#include "codec/bmp_file.h"
#include "codec/dib.h"
#include "platform/clipboard.h"
#include "platform/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    // tmpfs where there is one: the exports are flushed, which a disk makes slow.
    char pattern[] = "/dev/shm/pk-fuzz-bmp-import-XXXXXX";
    const char* d = mkdtemp(pattern);
    pk::platform::SetMessageSink([](pk::platform::Owner, const pk::platform::Message&) {});
    return std::string(d ? d : "/tmp");  // no /dev/shm: the system temp folder
  }();
  // Four bytes choose the target: width and height 1 to 128, depth, stretch.
  if (size < 4) return 0;
  static const uint32_t kDepths[] = {1, 4, 8, 16, 24, 32, 2, 0};
  pk::IconSetImage image;
  image.width = 1 + data[0] % 128;
  image.height = 1 + data[1] % 128;
  image.bitCount = kDepths[data[2] % 8];
  const bool stretch = data[3] & 1;
  pk::Bytes dib(data + 4, size - 4);
  // Encoded rows expand up to 256 MiB by design; the decoder is fuzzed on
  // pictures that keep the pace.
  if (auto f = pk::ReadDibFormat(dib); f && f->Compressed() && f->RowBytes() > (1u << 22)) return 0;

  if (!pk::BitmapToIconImage(&image, dib, stretch)) {
    if (image.data) std::abort();  // a refusal leaves the (empty) image as it was
    return 0;
  }
  const uint64_t stride = ((uint64_t(image.width) * image.bitCount + 31) / 32) * 4;
  const uint64_t table = image.bitCount <= 8 ? 4ull << image.bitCount : 0;
  const uint64_t mask = ((uint64_t(image.width) + 31) / 32) * 4;
  if (image.dataSize != (stride + mask) * uint32_t(image.height) + table + 40) std::abort();
  for (const uint8_t* p = image.andBits; p < image.data.get() + image.dataSize; ++p)
    if (*p != 0) std::abort();

  pk::IconSetImage bound;
  if (!bound.AssignData(image.bytes()) || !pk::BindIconImage(&bound)) std::abort();
  if (bound.andBits - bound.data.get() != image.andBits - image.data.get()) std::abort();

  const std::string out = dir + "/out.bmp";
  if (!pk::ExportImageBmp(out.c_str(), image)) std::abort();
  pk::PackedDib back = pk::LoadBmpFile(out.c_str());
  if (!back || std::memcmp(back.data.get() + 40, image.data.get() + 40, size_t(table + stride * uint32_t(image.height))) != 0)
    std::abort();

  if (!pk::CopyImageToClipboard(image)) std::abort();
  auto block = pk::platform::ReadClipboard(pk::platform::kClipboardFormatDib);
  if (!block || block->size() != image.dataSize) std::abort();
  return 0;
}
