#include "platform/win32/unique_handle.h"

#ifdef PK_COUNT_HANDLES
#include <atomic>

namespace pk::win32 {
namespace {
std::atomic<long> liveHandles[size_t(HandleKind::Count)];
}  // namespace

long LiveHandles(HandleKind kind) { return liveHandles[size_t(kind)].load(); }
void CountHandle(HandleKind kind, int delta) { liveHandles[size_t(kind)] += delta; }
}  // namespace pk::win32
#endif
