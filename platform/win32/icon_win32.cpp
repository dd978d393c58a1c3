#include <windows.h>

#include <vector>

#include "platform/icon.h"

namespace pk::platform {

namespace {
HICON AsHicon(const NativeIcon* icon) { return reinterpret_cast<HICON>(const_cast<NativeIcon*>(icon)); }
IconHandle Own(HICON icon) { return IconHandle(reinterpret_cast<NativeIcon*>(icon)); }
}  // namespace

void NativeIconDeleter::operator()(NativeIcon* icon) const {
  if (icon) DestroyIcon(AsHicon(icon));
}

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
  BITMAP bm;
  if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bm, &bm)) {
    picture.width = bm.bmWidth;
    picture.height = bm.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    picture.pixels.resize(size_t(bm.bmWidth) * bm.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, picture.pixels.data(), &bi, DIB_RGB_COLORS);
    // Pixels without alpha take their opacity from the mask.
    bool anyAlpha = false;
    for (uint32_t p : picture.pixels) anyAlpha |= (p >> 24) != 0;
    if (!anyAlpha && info.hbmMask) {
      std::vector<uint32_t> mask(picture.pixels.size());
      GetDIBits(dc, info.hbmMask, 0, bm.bmHeight, mask.data(), &bi, DIB_RGB_COLORS);
      for (size_t i = 0; i < mask.size(); ++i)
        picture.pixels[i] = (mask[i] & 0xFFFFFF) ? (picture.pixels[i] & 0xFFFFFF) : (picture.pixels[i] | 0xFF000000u);
    }
    ReleaseDC(nullptr, dc);
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return picture;
}

}  // namespace pk::platform
