// Bitmap drawing with GDI: both bitmaps become DIB sections selected into
// memory device contexts, and BitBlt or StretchBlt (COLORONCOLOR) does the
// resampling and the colour matching.
#include "platform/dib_render.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace pk::platform {

namespace {

// A BITMAPINFO in properly aligned memory: the caller's bytes may sit at any
// address, GDI wants the structure's own alignment.
class AlignedInfo {
 public:
  explicit AlignedInfo(std::span<const uint8_t> bytes) : words_((bytes.size() + 3) / 4) {
    std::memcpy(words_.data(), bytes.data(), bytes.size());
  }
  const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(words_.data()); }
  WORD BitCount() const { return get()->bmiHeader.biBitCount; }
  RGBQUAD* Colors() { return reinterpret_cast<BITMAPINFO*>(words_.data())->bmiColors; }

 private:
  std::vector<uint32_t> words_;
};

struct ScreenDc {
  HDC dc = GetDC(nullptr);
  void Release() {
    if (dc) ReleaseDC(nullptr, dc);
    dc = nullptr;
  }
  ~ScreenDc() { Release(); }
};

struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};

struct Section {
  void* bits = nullptr;  // declared first: the constructor below fills it
  HBITMAP bitmap = nullptr;
  Section(HDC screen, const BITMAPINFO* info)
      : bitmap(CreateDIBSection(screen, info, DIB_RGB_COLORS, &bits, nullptr, 0)) {}
  ~Section() {
    if (bitmap) DeleteObject(bitmap);
  }
};

// Selects a bitmap into a context and puts the previous one back.
struct Selection {
  HDC dc;
  HGDIOBJ previous;
  Selection(HDC d, HBITMAP bitmap) : dc(d), previous(SelectObject(d, bitmap)) {}
  ~Selection() {
    if (previous) SelectObject(dc, previous);
  }
};

}  // namespace

bool RenderDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
               std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
               RenderMode mode) {
  AlignedInfo source(sourceInfo), target(targetInfo);
  const BITMAPINFOHEADER& sh = source.get()->bmiHeader;
  const BITMAPINFOHEADER& th = target.get()->bmiHeader;

  ScreenDc screen;
  if (!screen.dc) return false;
  // The sections outlive the contexts that hold them, and are deleted only
  // once their bits have been read.
  Section targetSection(screen.dc, target.get());
  Section sourceSection(screen.dc, source.get());
  if (!targetSection.bitmap || !sourceSection.bitmap) return false;
  {
    MemoryDc sourceDc(screen.dc), targetDc(screen.dc);
    if (!sourceDc.dc || !targetDc.dc) return false;

    std::memcpy(sourceSection.bits, sourcePixels.data(), sourcePixels.size());
    Selection selectSource(sourceDc.dc, sourceSection.bitmap);
    Selection selectTarget(targetDc.dc, targetSection.bitmap);
    if (!selectSource.previous || !selectTarget.previous) return false;

    if (sh.biBitCount <= 8) SetDIBColorTable(sourceDc.dc, 0, 1u << sh.biBitCount, source.Colors());
    if (th.biBitCount <= 8) SetDIBColorTable(targetDc.dc, 0, 1u << th.biBitCount, target.Colors());

    BOOL drawn;
    if (mode == RenderMode::Stretch) {
      SetStretchBltMode(targetDc.dc, COLORONCOLOR);
      drawn = StretchBlt(targetDc.dc, 0, 0, th.biWidth, th.biHeight, sourceDc.dc, 0, 0, sh.biWidth,
                         sh.biHeight, SRCCOPY);
    } else {
      drawn = BitBlt(targetDc.dc, 0, 0, th.biWidth, th.biHeight, sourceDc.dc, 0, 0, SRCCOPY);
    }
    if (!drawn) return false;
  }
  screen.Release();
  // The drawing may still sit in GDI's batch; the section's bits are complete
  // only after a flush.
  GdiFlush();
  std::memcpy(targetPixels.data(), targetSection.bits, targetPixels.size());
  return true;
}

}  // namespace pk::platform
