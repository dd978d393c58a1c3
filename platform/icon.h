// A displayable icon made from the bytes of one icon image. On Windows it is an
// HICON; the portable backend decodes the image into an RGBA picture with the
// colour rows drawn through the mask, as the system would show it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace pk::platform {

struct NativeIcon;  // HICON on Windows, IconPicture elsewhere
struct NativeIconDeleter {
  void operator()(NativeIcon* icon) const;
};
using IconHandle = std::unique_ptr<NativeIcon, NativeIconDeleter>;

// CreateIconFromResourceEx(bytes, icon, 0x00030000, width, height, LR_DEFAULTCOLOR):
// an icon at the given size.
IconHandle CreateIconFromImage(std::span<const uint8_t> bytes, int width, int height);
// CreateIconFromResource(bytes, icon, 0x00030000): an icon at the default icon size
// (made without LR_SHARED, so that releasing the handle frees it).
IconHandle CreateIconFromImageDefaultSize(std::span<const uint8_t> bytes);

// The default icon size of the display (SM_CXICON x SM_CYICON; 32 x 32 elsewhere).
int DefaultIconWidth();
int DefaultIconHeight();

// A decoded picture: rows top first, pixels as 0xAARRGGBB.
struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// The picture an icon image shows at its own size, decoded by our own code on
// every platform (so exports agree byte for byte): a DIB image's colour rows
// drawn through its mask, or a 32-bit image's own alpha; a PNG image decoded.
// None when the bytes are neither.
std::optional<RgbaPicture> DecodeIconImage(std::span<const uint8_t> bytes);

// The picture an icon shows (GetIconInfo on Windows); empty when there is none.
RgbaPicture IconPicture(const NativeIcon* icon);

}  // namespace pk::platform
