// The clipboard as the copy command uses it: one device-independent bitmap
// (CF_DIB) placed for the application's main window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace pk::platform {

inline constexpr uint32_t kClipboardFormatDib = 8;  // CF_DIB

// An open clipboard; closing it is the destructor's job, so every path out of
// the caller closes it.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Removes everything on the clipboard (EmptyClipboard).
  virtual bool Empty() = 0;
  // Allocates a shareable block of `size` bytes (GMEM_MOVEABLE | GMEM_DDESHARE),
  // lets `fill` write it while it is locked, and hands it to the clipboard in
  // `format`; from then on it belongs to the clipboard. False when the block
  // cannot be had or the clipboard refuses it; `fill` is then not called or
  // the block is freed again.
  virtual bool SetData(uint32_t format, uint32_t size,
                       const std::function<void(std::span<uint8_t>)>& fill) = 0;
};

// Opens the clipboard for `owner` (an HWND on Windows; null opens it for the
// calling task); none when another program holds it.
std::unique_ptr<Clipboard> OpenClipboardFor(void* owner);

// A copy of what the clipboard holds in `format`; none when it holds nothing
// in that format. Tests read the copied bitmap back through this.
std::optional<std::vector<uint8_t>> ReadClipboard(uint32_t format);

}  // namespace pk::platform
