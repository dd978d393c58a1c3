// Icons without a window system: the image decoded to the RGBA picture that
// the system would draw, at the size asked for.
#include <algorithm>

#include "platform/icon.h"
#include "platform/png.h"
#include "platform/portable/core/icon_decode.h"

namespace pk::platform {

struct NativeIcon {
  RgbaPicture picture;
};

void NativeIconDeleter::operator()(NativeIcon* icon) const { delete icon; }

namespace {

constexpr int kDefaultIconSize = 32;  // SM_CXICON at 96 DPI

IconHandle MakeIcon(std::span<const uint8_t> bytes, int width, int height) {
  auto picture = DecodeIconImage(bytes);
  if (!picture) return nullptr;
  // A size of 0 asks for the image's own size, as the system takes it.
  if (width == 0) width = picture->width;
  if (height == 0) height = picture->height;
  if (width < 0 || height < 0 || width > kMaxDecodedSide || height > kMaxDecodedSide) return nullptr;
  IconHandle icon(new NativeIcon);
  if (width == picture->width && height == picture->height)
    icon->picture = std::move(*picture);
  else
    icon->picture = ScalePicture(*picture, width, height);
  return icon;
}

}  // namespace

IconHandle CreateIconFromImage(std::span<const uint8_t> bytes, int width, int height) {
  return MakeIcon(bytes, width, height);
}

IconHandle CreateIconFromImageDefaultSize(std::span<const uint8_t> bytes) {
  return MakeIcon(bytes, kDefaultIconSize, kDefaultIconSize);
}

int DefaultIconWidth() { return kDefaultIconSize; }
int DefaultIconHeight() { return kDefaultIconSize; }

RgbaPicture IconPicture(const NativeIcon* icon) { return icon ? icon->picture : RgbaPicture{}; }

}  // namespace pk::platform
