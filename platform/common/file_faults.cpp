// The counters behind platform/file_faults.h, shared by both backends. A
// mutex, not atomics: tests save from two threads at once, and a count and the
// armed fault must move together.
#ifdef PK_FILE_FAULTS

#include "platform/file_faults.h"

#include <mutex>

namespace pk::platform {

namespace {

struct Injector {
  std::mutex lock;
  uint32_t calls[kFileCallKinds] = {};
  bool armed = false;
  FileCall call = FileCall::Open;
  uint32_t nth = 0;
  FileFaultKind kind = FileFaultKind::Fail;
  uint32_t fired = 0;
};

Injector& TheInjector() {
  static Injector injector;
  return injector;
}

}  // namespace

void InjectFileFault(FileCall call, uint32_t nth, FileFaultKind kind) {
  Injector& in = TheInjector();
  std::lock_guard<std::mutex> guard(in.lock);
  for (uint32_t& c : in.calls) c = 0;
  in.armed = nth != 0;
  in.call = call;
  in.nth = nth;
  in.kind = kind;
}

void ResetFileFaults() {
  Injector& in = TheInjector();
  std::lock_guard<std::mutex> guard(in.lock);
  for (uint32_t& c : in.calls) c = 0;
  in.armed = false;
}

uint32_t CountedFileCalls(FileCall call) {
  Injector& in = TheInjector();
  std::lock_guard<std::mutex> guard(in.lock);
  return in.calls[int(call)];
}

uint32_t FileFaultsFired() {
  Injector& in = TheInjector();
  std::lock_guard<std::mutex> guard(in.lock);
  return in.fired;
}

std::optional<FileFaultKind> TakeFileFault(FileCall call) {
  Injector& in = TheInjector();
  std::lock_guard<std::mutex> guard(in.lock);
  const uint32_t n = ++in.calls[int(call)];
  if (!in.armed || call != in.call || n != in.nth) return std::nullopt;
  in.armed = false;
  ++in.fired;
  return in.kind;
}

}  // namespace pk::platform

#endif  // PK_FILE_FAULTS
