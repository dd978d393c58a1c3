// A clipboard for platforms without one: a process-wide store that carries
// exactly the block a Windows clipboard would, so the command line and the
// tests see the same bytes.
#include "platform/clipboard.h"

#include <map>
#include <mutex>
#include <new>

namespace pk::platform {

namespace {

struct Store {
  std::mutex mutex;
  bool open = false;
  std::map<uint32_t, std::vector<uint8_t>> formats;
};

Store& TheStore() {
  static Store store;
  return store;
}

class MemoryClipboard final : public Clipboard {
 public:
  ~MemoryClipboard() override {
    std::lock_guard lock(TheStore().mutex);
    TheStore().open = false;
  }

  bool Empty() override {
    std::lock_guard lock(TheStore().mutex);
    TheStore().formats.clear();
    return true;
  }

  bool SetData(uint32_t format, uint32_t size,
               const std::function<void(std::span<uint8_t>)>& fill) override {
    std::vector<uint8_t> block;
    try {
      block.resize(size);
    } catch (const std::bad_alloc&) {
      return false;
    }
    fill(block);
    std::lock_guard lock(TheStore().mutex);
    TheStore().formats[format] = std::move(block);
    return true;
  }
};

}  // namespace

std::unique_ptr<Clipboard> OpenClipboardFor(void* /*owner*/) {
  std::lock_guard lock(TheStore().mutex);
  // Like the system clipboard, only one opener at a time.
  if (TheStore().open) return nullptr;
  TheStore().open = true;
  return std::make_unique<MemoryClipboard>();
}

std::optional<std::vector<uint8_t>> ReadClipboard(uint32_t format) {
  std::lock_guard lock(TheStore().mutex);
  auto it = TheStore().formats.find(format);
  if (it == TheStore().formats.end()) return std::nullopt;
  return it->second;
}

}  // namespace pk::platform
