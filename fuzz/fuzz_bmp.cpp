// The .bmp reader on arbitrary bytes: it must refuse them or return a block
// laid out exactly as its header says, without touching memory outside its
// buffers; what it returns must convert and write back.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/bitmap_icon.h"
#include "codec/bmp_file.h"
#include "codec/dib.h"
#include "platform/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    char pattern[] = "/tmp/pk-fuzz-bmp-XXXXXX";
    const char* d = mkdtemp(pattern);
    pk::platform::SetMessageSink([](pk::platform::Owner, std::string_view, std::string_view) {});
    return std::string(d ? d : "/tmp");
  }();
  const std::string in = dir + "/in.bmp", out = dir + "/out.bmp";
  std::FILE* f = std::fopen(in.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  pk::PackedDib dib = pk::LoadBmpFile(in.c_str());
  if (!dib) return 0;
  auto h = pk::BitmapInfoHeader::Read(dib.bytes());
  if (!h || h->biSize != 40 || h->biWidth <= 0 || h->biHeight <= 0) std::abort();
  uint64_t expected = 40 + uint64_t(pk::DibColorTableSize(*h)) + uint64_t(pk::DibRowStride(*h)) * uint32_t(h->biHeight);
  if (dib.size != expected) std::abort();

  // Whatever converts makes a whole icon image that exports again.
  pk::IconSetImage image;
  image.width = 16;
  image.height = 16;
  image.bitCount = 8;
  if (pk::BitmapToIconImage(&image, dib.bytes(), true)) {
    if (!pk::ExportImageBmp(out.c_str(), image) || !pk::LoadBmpFile(out.c_str())) std::abort();
  }

  // A bitmap opened with no image to take the size from: its own depth, and
  // a size inside 256 x 256 that keeps a side of at least one pixel.
  if (auto own = pk::ImportBmpIconSet(in.c_str())) {
    const pk::IconSetImage& first = own->images[0];
    if (own->imageCount != 1 || first.width < 1 || first.width > 256 || first.height < 1 || first.height > 256 ||
        first.bitCount != h->biBitCount || !pk::BindIconImage(&own->images[0]))
      std::abort();
  }
  return 0;
}
