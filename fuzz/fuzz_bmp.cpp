// The .bmp reader on arbitrary bytes, read from memory: it must refuse them
// or return a block laid out exactly as its header says, without touching
// memory outside its buffers; what it returns must convert to an icon image,
// at a fixed size and at its own, as opening a bitmap does.
#include <cstdlib>

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
  auto h = pk::BitmapInfoHeader::Read(dib.bytes());
  if (!h || h->biSize != 40 || h->biWidth <= 0 || h->biHeight <= 0) std::abort();
  const uint64_t expected =
      40 + uint64_t(pk::DibColorTableSize(*h)) + uint64_t(pk::DibRowStride(*h)) * uint32_t(h->biHeight);
  if (dib.size != expected) std::abort();

  // Converting is the resampler's and the encoder's work, fuzzed at any size
  // by the import target; here small pictures show that what the reader
  // returns converts, and the reader keeps the pace.
  if (uint64_t(h->biWidth) * uint32_t(h->biHeight) > 1024) return 0;
  pk::IconSetImage image;
  image.width = 16;
  image.height = 16;
  image.bitCount = 8;
  if (pk::BitmapToIconImage(&image, dib.bytes(), true) && !pk::BindIconImage(&image)) std::abort();

  // At its own depth and a size inside 256 x 256 that keeps a side of at
  // least one pixel.
  int32_t width, height;
  pk::FitIconImageSize(h->biWidth, h->biHeight, &width, &height);
  if (width < 1 || width > 256 || height < 1 || height > 256) std::abort();
  if (auto own = pk::BitmapToIconSet(dib.bytes(), width, height, h->biBitCount, true)) {
    if (own->imageCount != 1 || own->images[0].bitCount != h->biBitCount || !pk::BindIconImage(&own->images[0]))
      std::abort();
  }
  return 0;
}
