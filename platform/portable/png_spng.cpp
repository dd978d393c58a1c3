// PNG decoding with libspng.
#include <spng.h>

#include <cstdlib>
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

namespace pk::platform {

std::optional<std::vector<uint8_t>> EncodePng(const RgbaPicture& picture) {
  if (!IsEncodablePicture(picture)) return std::nullopt;
  std::vector<uint8_t> rgba(picture.pixels.size() * 4);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t p = picture.pixels[i];
    rgba[4 * i] = uint8_t(p >> 16);
    rgba[4 * i + 1] = uint8_t(p >> 8);
    rgba[4 * i + 2] = uint8_t(p);
    rgba[4 * i + 3] = uint8_t(p >> 24);
  }
  std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)> ctx(spng_ctx_new(SPNG_CTX_ENCODER), spng_ctx_free);
  if (!ctx) return std::nullopt;
  spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
  spng_ihdr ihdr = {};
  ihdr.width = uint32_t(picture.width);
  ihdr.height = uint32_t(picture.height);
  ihdr.bit_depth = 8;
  ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  if (spng_set_ihdr(ctx.get(), &ihdr) != 0) return std::nullopt;
  if (spng_encode_image(ctx.get(), rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
    return std::nullopt;
  size_t size = 0;
  int error = 0;
  std::unique_ptr<void, decltype(&std::free)> buffer(spng_get_png_buffer(ctx.get(), &size, &error), std::free);
  if (!buffer || error != 0) return std::nullopt;
  const auto* bytes = static_cast<const uint8_t*>(buffer.get());
  return std::vector<uint8_t>(bytes, bytes + size);
}

}  // namespace pk::platform
