// PNG decoding with libspng.
#include <spng.h>

#include <memory>

#include "platform/png.h"

namespace pk::platform {

std::optional<RgbaPicture> DecodePng(std::span<const uint8_t> png) {
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(0), spng_ctx_free);
  if (!ctx) return std::nullopt;
  // Bound what a hostile stream can make us inflate or allocate.
  spng_set_image_limits(ctx.get(), kMaxPngSide, kMaxPngSide);
  spng_set_chunk_limits(ctx.get(), 1u << 24, 1u << 26);
  spng_set_crc_action(ctx.get(), SPNG_CRC_ERROR, SPNG_CRC_ERROR);
  if (spng_set_png_buffer(ctx.get(), png.data(), png.size()) != 0) return std::nullopt;
  spng_ihdr ihdr;
  if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return std::nullopt;
  if (ihdr.width == 0 || ihdr.height == 0 || ihdr.width > kMaxPngSide || ihdr.height > kMaxPngSide)
    return std::nullopt;
  size_t size = 0;
  if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size) != 0) return std::nullopt;
  std::vector<uint8_t> rgba(size);
  if (spng_decode_image(ctx.get(), rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
    return std::nullopt;
  RgbaPicture picture;
  picture.width = int(ihdr.width);
  picture.height = int(ihdr.height);
  picture.pixels.resize(size_t(ihdr.width) * ihdr.height);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint8_t* p = rgba.data() + 4 * i;
    picture.pixels[i] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
  }
  return picture;
}

}  // namespace pk::platform
