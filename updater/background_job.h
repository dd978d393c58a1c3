// Work on a thread of its own that the caller may stop waiting for. The
// thread holds a reference to this library, so the code it runs stays loaded
// after the caller has given up on it and returned; a job's state lives as
// long as either side still needs it.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>

#include "platform/win32/unique_handle.h"

namespace pk::update {

class BackgroundJob {
 public:
  // `work` runs on the new thread; it should look at Cancelled() now and then.
  // `cleanup` runs on that thread after `work` if the caller has abandoned
  // the job by then (for instance, to delete a file nobody will use).
  static std::shared_ptr<BackgroundJob> Start(std::function<void(BackgroundJob&)> work,
                                              std::function<void()> cleanup = {});

  HANDLE DoneEvent() const { return done_.Get(); }
  bool Wait(DWORD ms) const { return ::WaitForSingleObject(done_.Get(), ms) == WAIT_OBJECT_0; }
  void RequestCancel() { cancel_ = true; }
  bool Cancelled() const { return cancel_.load(); }
  const std::atomic<bool>& CancelFlag() const { return cancel_; }

  // The caller stops waiting. True when the thread will run the cleanup;
  // false when the work had already finished, so its results are the
  // caller's to use or clean up.
  bool Abandon();

 private:
  BackgroundJob() = default;
  static DWORD WINAPI ThreadMain(void* parameter);

  enum State { Running, Finished, Abandoned };
  std::function<void(BackgroundJob&)> work_;
  std::function<void()> cleanup_;
  std::atomic<int> state_{Running};
  std::atomic<bool> cancel_{false};
  win32::UniqueKernelHandle done_;
};

}  // namespace pk::update
