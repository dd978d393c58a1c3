#include <windows.h>

#include <vector>

#include "platform/icon.h"
#include "platform/win32/icon_handle.h"
#include "platform/win32/unique_handle.h"

namespace pk::platform {

// On Windows a platform icon is the HICON itself, owned and counted like
// every other handle of the program.
namespace {
HICON AsHicon(const NativeIcon* icon) { return reinterpret_cast<HICON>(const_cast<NativeIcon*>(icon)); }
IconHandle Own(HICON icon) { return IconHandle(reinterpret_cast<NativeIcon*>(win32::UniqueIcon(icon).Transfer())); }
}  // namespace

IconHandle AdoptIcon(HICON icon) { return Own(icon); }

void NativeIconDeleter::operator()(NativeIcon* icon) const { win32::CloseCounted<win32::IconTraits>(AsHicon(icon)); }

IconHandle CreateIconFromImage(std::span<const uint8_t> bytes, int width, int height) {
  return Own(CreateIconFromResourceEx(const_cast<PBYTE>(bytes.data()), DWORD(bytes.size()), TRUE,
                                      0x00030000, width, height, LR_DEFAULTCOLOR));
}

IconHandle CreateIconFromImageDefaultSize(std::span<const uint8_t> bytes) {
  // CreateIconFromResource is this call with LR_SHARED added, and a shared
  // icon is never freed: DestroyIcon leaves it alone. An owned handle must be
  // releasable (the preview makes one per paint), so the flag stays off.
  return Own(CreateIconFromResourceEx(const_cast<PBYTE>(bytes.data()), DWORD(bytes.size()), TRUE, 0x00030000,
                                      0, 0, LR_DEFAULTSIZE));
}

int DefaultIconWidth() { return GetSystemMetrics(SM_CXICON); }
int DefaultIconHeight() { return GetSystemMetrics(SM_CYICON); }

RgbaPicture IconPicture(const NativeIcon* icon) {
  RgbaPicture picture;
  ICONINFO info;
  if (!icon || !GetIconInfo(AsHicon(icon), &info)) return picture;
  // GetIconInfo hands out copies of both bitmaps; they are ours to delete.
  win32::UniqueGdiObject color(info.hbmColor), mask(info.hbmMask);
  BITMAP bm;
  if (!color || !GetObjectA(color.Get(), sizeof bm, &bm)) return picture;
  picture.width = bm.bmWidth;
  picture.height = bm.bmHeight;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = bm.bmWidth;
  bi.bmiHeader.biHeight = -bm.bmHeight;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  picture.pixels.resize(size_t(bm.bmWidth) * bm.bmHeight);
  win32::WindowDc screen(nullptr);
  GetDIBits(screen.Get(), HBITMAP(color.Get()), 0, bm.bmHeight, picture.pixels.data(), &bi, DIB_RGB_COLORS);
  // Pixels without alpha take their opacity from the mask.
  bool anyAlpha = false;
  for (uint32_t p : picture.pixels) anyAlpha |= (p >> 24) != 0;
  if (!anyAlpha && mask) {
    std::vector<uint32_t> bits(picture.pixels.size());
    GetDIBits(screen.Get(), HBITMAP(mask.Get()), 0, bm.bmHeight, bits.data(), &bi, DIB_RGB_COLORS);
    for (size_t i = 0; i < bits.size(); ++i)
      picture.pixels[i] = (bits[i] & 0xFFFFFF) ? (picture.pixels[i] & 0xFFFFFF) : (picture.pixels[i] | 0xFF000000u);
  }
  return picture;
}

}  // namespace pk::platform
