// One icon image (a DIB in the icon layout, or a PNG stream) on arbitrary
// bytes: the binding of its parts, the PNG header check, the decoder that
// draws it for previews and PNG exports, and the PNG encoder on what comes
// out. Whatever decodes must have the size its header gives, and a small
// picture must come back whole through PNG.
#include <cstdlib>

#include "base/png_header.h"
#include "codec/icon_set.h"
#include "platform/icon.h"
#include "platform/message_box.h"
#include "platform/png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    pk::platform::SetMessageSink([](pk::platform::Owner, const pk::platform::Message&) {});
    return true;
  }();
  (void)quiet;
  const pk::Bytes bytes(data, size);

  pk::IconSetImage image;
  if (!image.AssignData(bytes)) return 0;
  const bool bound = bool(pk::BindIconImage(&image));
  if (bound) (void)pk::IconHandleFromImage(&image);

  auto header = pk::ReadPngHeader(bytes);
  if (header && !pk::HasPngSignature(bytes)) std::abort();
  auto picture = pk::platform::DecodeIconImage(bytes);
  if (!picture) return 0;
  if (picture->width <= 0 || picture->height <= 0 ||
      picture->pixels.size() != size_t(picture->width) * size_t(picture->height))
    std::abort();
  if (pk::HasPngSignature(bytes)) {
    // A stream the decoder takes has a header the check takes, of that size.
    if (!header || header->width != uint32_t(picture->width) || header->height != uint32_t(picture->height))
      std::abort();
  } else if (!bound || image.width != picture->width || image.height != picture->height) {
    std::abort();  // the decoder draws only images that bind, at their own size
  }
  if (picture->width <= 64 && picture->height <= 64) {
    auto png = pk::platform::EncodePng(*picture);
    if (!png) std::abort();
    auto back = pk::platform::DecodePng(*png);
    if (!back || back->width != picture->width || back->height != picture->height || back->pixels != picture->pixels)
      std::abort();
  }
  return 0;
}
