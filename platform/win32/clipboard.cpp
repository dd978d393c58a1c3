// The system clipboard.
#include "platform/clipboard.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/unique_handle.h"

namespace pk::platform {

namespace {

class SystemClipboard final : public Clipboard {
 public:
  ~SystemClipboard() override { CloseClipboard(); }

  bool Empty() override { return EmptyClipboard() != 0; }

  bool SetData(uint32_t format, uint32_t size,
               const std::function<void(std::span<uint8_t>)>& fill) override {
    // Movable and shareable (GMEM_MOVEABLE | GMEM_DDESHARE), as clipboard
    // data must be.
    win32::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size));
    if (!block) return false;
    void* p = GlobalLock(block.Get());
    if (!p) return false;
    fill(std::span<uint8_t>(static_cast<uint8_t*>(p), size));
    GlobalUnlock(block.Get());
    // On success the block belongs to the clipboard; otherwise it is still ours.
    if (!SetClipboardData(format, block.Get())) return false;
    block.Release();
    return true;
  }
};

}  // namespace

std::unique_ptr<Clipboard> OpenClipboardFor(void* owner) {
  if (!OpenClipboard(static_cast<HWND>(owner))) return nullptr;
  return std::make_unique<SystemClipboard>();
}

std::optional<std::vector<uint8_t>> ReadClipboard(uint32_t format) {
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::vector<uint8_t>> out;
  if (HANDLE data = GetClipboardData(format)) {
    SIZE_T size = GlobalSize(data);
    if (const void* p = GlobalLock(data)) {
      out.emplace(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return out;
}

}  // namespace pk::platform
