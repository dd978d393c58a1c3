// The .bmp reader on arbitrary bytes, read from memory: it must refuse them
// or return a block laid out exactly as its header says (of any header kind,
// top-down, bit fields, run-length encoded), without touching
// memory outside its buffers; what it returns must convert to an icon image,
// at a fixed size and at its own, as opening a bitmap does.
#include <cstdlib>

#include "base/dib_format.h"
#include "codec/bitmap_icon.h"
#include "codec/bmp_file.h"
#include "codec/dib.h"
#include "platform/file.h"
#include "platform/message_box.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    pk::platform::SetMessageSink([](pk::platform::Owner, const pk::platform::Message&) {});
    return true;
  }();
  (void)quiet;
  pk::platform::MemoryFile file(pk::Bytes(data, size));
  auto read = pk::ReadBmpFile(file);
  if (!read) return 0;
  const pk::PackedDib& dib = *read;
  // The block describes itself: a header the conversion reads, the table it
  // places, then exactly the rows, or the encoded stream biSizeImage says.
  auto f = pk::ReadDibFormat(dib.bytes());
  if (!f) std::abort();
  const uint64_t pixels = f->Compressed() ? f->header.biSizeImage : f->RowBytes();
  if ((f->Compressed() && pixels == 0) || dib.size != f->TableEnd() + pixels) std::abort();
  if (f->tableEntries != f->ColorsUsed()) std::abort();

  // Converting is the resampler's and the encoder's work, fuzzed at any size
  // by the import target; here small pictures show that what the reader
  // returns converts, and the reader keeps the pace.
  if (uint64_t(f->width) * uint32_t(f->height) > 1024) return 0;
  pk::IconSetImage image;
  image.width = 16;
  image.height = 16;
  image.bitCount = 8;
  // Whatever the reader takes, the conversion draws.
  if (!pk::BitmapToIconImage(&image, dib.bytes(), true) || !pk::BindIconImage(&image)) std::abort();

  // At its own depth and a size inside 256 x 256 that keeps a side of at
  // least one pixel.
  int32_t width, height;
  pk::FitIconImageSize(f->width, f->height, &width, &height);
  if (width < 1 || width > 256 || height < 1 || height > 256) std::abort();
  auto own = pk::BitmapToIconSet(dib.bytes(), width, height, f->bitCount, true);
  if (!own || own->imageCount != 1 || own->images[0].bitCount != f->bitCount || !pk::BindIconImage(&own->images[0]))
    std::abort();
  return 0;
}
