#include "base/png_header.h"

namespace pk {

namespace {
constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kIhdrLength = 13;
}  // namespace

bool HasPngSignature(Bytes bytes) {
  return bytes.size() >= 8 && std::memcmp(bytes.data(), kSignature, 8) == 0;
}

Result<PngInfo, PngFault> ReadPngHeader(Bytes bytes) {
  if (!HasPngSignature(bytes)) return PngFault::NoSignature;
  // IHDR must be the first chunk: length 13, type "IHDR", body, CRC.
  ByteCursor c(bytes, 8);
  const uint32_t length = c.U32Be();
  Bytes typeAndBody = c.Take(4 + kIhdrLength);
  const uint32_t crc = c.U32Be();
  if (!c.ok() || length != kIhdrLength || std::memcmp(typeAndBody.data(), "IHDR", 4) != 0)
    return PngFault::NoHeader;
  // A damaged header cannot be trusted to describe the image.
  if (crc != Crc32(typeAndBody)) return PngFault::HeaderCrc;

  ByteCursor body(typeAndBody, 4);
  PngInfo info;
  info.width = body.U32Be();
  info.height = body.U32Be();
  const uint8_t depth = body.U8();
  const uint8_t colorType = body.U8();
  if (info.width == 0 || info.height == 0 || info.width > 0x7FFFFFFFu || info.height > 0x7FFFFFFFu)
    return PngFault::EmptyOrHuge;
  uint32_t channels;
  bool depthOk;
  switch (colorType) {
    case 0: channels = 1; depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 2: channels = 3; depthOk = depth == 8 || depth == 16; break;
    case 3: channels = 1; depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 4: channels = 2; depthOk = depth == 8 || depth == 16; break;
    case 6: channels = 4; depthOk = depth == 8 || depth == 16; break;
    default: return PngFault::BadDepth;
  }
  if (!depthOk) return PngFault::BadDepth;
  info.bitsPerPixel = depth * channels;
  return info;
}

}  // namespace pk
