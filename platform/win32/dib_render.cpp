// Bitmap drawing with GDI: both bitmaps become DIB sections selected into
// memory device contexts, and BitBlt or StretchBlt (COLORONCOLOR) does the
// resampling and the colour matching. A source stored top-down, with bit
// fields or run-length encoded is put into its section by SetDIBits, which
// decodes it.
#include "platform/dib_render.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "base/dib_format.h"
#include "base/dib_layout.h"
#include "base/dib_pixels.h"
#include "platform/win32/unique_handle.h"

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

// A DIB section in the screen's format, with a pointer to its bits.
struct Section {
  void* bits = nullptr;
  win32::UniqueGdiObject bitmap;
  Section(HDC screen, const BITMAPINFO* info)
      : bitmap(CreateDIBSection(screen, info, DIB_RGB_COLORS, &bits, nullptr, 0)) {}
  HBITMAP Get() const { return static_cast<HBITMAP>(bitmap.Get()); }
};

// GDI leaves the fourth byte of bit-field pixels 0 unless the masks are the
// standard 32-bit ones; the alpha mask's channel is put there, as the
// portable drawing does.
void CopyAlphaChannel(const DibFormat& f, std::span<const uint8_t> stored, uint8_t* plain) {
  const size_t height = size_t(f.height);
  for (size_t y = 0; y < height; ++y) {
    const Bytes in = stored.subspan((f.topDown ? y : height - 1 - y) * f.stride, f.stride);
    uint8_t* out = plain + (height - 1 - y) * size_t(f.width) * 4;
    for (int32_t x = 0; x < f.width; ++x)
      out[size_t(x) * 4 + 3] = MaskedChannel(ReadDibPixel(in, x, f.bitCount), f.masks.alpha);
  }
}

}  // namespace

bool RenderDib(std::span<const uint8_t> sourceInfo, std::span<const uint8_t> sourcePixels,
               std::span<const uint8_t> targetInfo, std::span<uint8_t> targetPixels,
               RenderMode mode) {
  auto format = ReadDibFormat(sourceInfo);
  if (!format) return false;
  // A plain source is its own section; any other is drawn from the plain
  // section SetDIBits decodes it into.
  const std::vector<uint8_t> plainInfo = format->Plain() ? std::vector<uint8_t>(sourceInfo.begin(), sourceInfo.end())
                                                          : PlainDibInfo(*format, sourceInfo);
  if (plainInfo.empty()) return false;
  AlignedInfo stored(sourceInfo), source(plainInfo), target(targetInfo);
  const BITMAPINFOHEADER& sh = source.get()->bmiHeader;
  const BITMAPINFOHEADER& th = target.get()->bmiHeader;

  win32::WindowDc screen(nullptr);
  if (!screen) return false;
  // The sections outlive the contexts that hold them, and are deleted only
  // once their bits have been read.
  Section targetSection(screen.Get(), target.get());
  Section sourceSection(screen.Get(), source.get());
  if (!targetSection.bitmap || !sourceSection.bitmap) return false;
  if (format->Plain()) {
    std::memcpy(sourceSection.bits, sourcePixels.data(), sourcePixels.size());
  } else {
    if (SetDIBits(screen.Get(), sourceSection.Get(), 0, UINT(format->height), sourcePixels.data(), stored.get(),
                  DIB_RGB_COLORS) != format->height) {
      return false;
    }
    GdiFlush();
    if (format->BitFields() && format->masks.alpha != 0)
      CopyAlphaChannel(*format, sourcePixels, static_cast<uint8_t*>(sourceSection.bits));
  }
  {
    win32::UniqueDc sourceDc(CreateCompatibleDC(screen.Get())), targetDc(CreateCompatibleDC(screen.Get()));
    if (!sourceDc || !targetDc) return false;

    win32::SelectedObject selectSource(sourceDc.Get(), sourceSection.Get());
    win32::SelectedObject selectTarget(targetDc.Get(), targetSection.Get());
    if (!selectSource || !selectTarget) return false;

    if (sh.biBitCount <= 8) SetDIBColorTable(sourceDc.Get(), 0, DibIndexableColors(sh.biBitCount), source.Colors());
    if (th.biBitCount <= 8) SetDIBColorTable(targetDc.Get(), 0, DibIndexableColors(th.biBitCount), target.Colors());

    BOOL drawn;
    if (mode == RenderMode::Stretch) {
      SetStretchBltMode(targetDc.Get(), COLORONCOLOR);
      drawn = StretchBlt(targetDc.Get(), 0, 0, th.biWidth, th.biHeight, sourceDc.Get(), 0, 0, sh.biWidth,
                         sh.biHeight, SRCCOPY);
    } else {
      drawn = BitBlt(targetDc.Get(), 0, 0, th.biWidth, th.biHeight, sourceDc.Get(), 0, 0, SRCCOPY);
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
