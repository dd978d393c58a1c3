#include "base/png_header.h"
#include "platform/icon.h"
#include "platform/png.h"
#include "platform/portable/core/icon_decode.h"

namespace pk::platform {

std::optional<RgbaPicture> DecodeIconImage(std::span<const uint8_t> bytes) {
  if (HasPngSignature(bytes)) return DecodePng(bytes);
  return DecodeDibIcon(bytes);
}

}  // namespace pk::platform
