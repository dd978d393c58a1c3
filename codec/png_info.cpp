#include "codec/png_info.h"

namespace pk {

namespace {
constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
}

bool HasPngSignature(Bytes bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

std::optional<PngInfo> ReadPngInfo(Bytes bytes) {
  if (!HasPngSignature(bytes)) return std::nullopt;
  ByteReader r(bytes);
  // IHDR must be the first chunk: length 13, type "IHDR".
  auto length = r.U32Be(8);
  auto type = r.Sub(12, 4);
  auto body = r.Sub(16, 13);
  if (!length || !type || !body || *length != 13 || std::memcmp(type->data(), "IHDR", 4) != 0)
    return std::nullopt;
  // A damaged header cannot be trusted to describe the image.
  auto crc = r.U32Be(29);
  if (!crc || *crc != Crc32(bytes.subspan(12, 17))) return std::nullopt;
  PngInfo info;
  info.width = LoadU32Be(body->data());
  info.height = LoadU32Be(body->data() + 4);
  uint8_t depth = (*body)[8];
  uint8_t colorType = (*body)[9];
  // The PNG format caps sides at 2^31 - 1.
  if (info.width == 0 || info.height == 0 || info.width > 0x7FFFFFFFu || info.height > 0x7FFFFFFFu)
    return std::nullopt;
  uint32_t channels;
  bool depthOk;
  switch (colorType) {
    case 0: channels = 1; depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 2: channels = 3; depthOk = depth == 8 || depth == 16; break;
    case 3: channels = 1; depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 4: channels = 2; depthOk = depth == 8 || depth == 16; break;
    case 6: channels = 4; depthOk = depth == 8 || depth == 16; break;
    default: return std::nullopt;
  }
  if (!depthOk) return std::nullopt;
  info.bitsPerPixel = depth * channels;
  return info;
}

}  // namespace pk
