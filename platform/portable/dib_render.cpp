// Bitmap drawing without GDI: our own engine does what BitBlt and StretchBlt
// do between two DIB sections.
#include "platform/dib_render.h"

#include "platform/portable/core/dib_blit.h"

namespace pk::platform {

bool RenderDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
               std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
               RenderMode mode) {
  return portable::BlitDib(sourceInfo, sourcePixels, targetInfo, targetPixels, mode);
}

}  // namespace pk::platform
