#include "updater/background_job.h"

namespace pk::update {
namespace {

struct ThreadStart {
  std::shared_ptr<BackgroundJob> job;
  HMODULE module;
};

}  // namespace

std::shared_ptr<BackgroundJob> BackgroundJob::Start(std::function<void(BackgroundJob&)> work,
                                                   std::function<void()> cleanup) {
  std::shared_ptr<BackgroundJob> job(new BackgroundJob);
  job->work_ = std::move(work);
  job->cleanup_ = std::move(cleanup);
  job->done_.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!job->done_) return nullptr;
  HMODULE self = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&ThreadMain),
                            &self)) {
    return nullptr;
  }
  auto* start = new ThreadStart{job, self};
  HANDLE thread = ::CreateThread(nullptr, 0, &ThreadMain, start, 0, nullptr);
  if (!thread) {
    delete start;
    ::FreeLibrary(self);
    return nullptr;
  }
  ::CloseHandle(thread);
  return job;
}

DWORD WINAPI BackgroundJob::ThreadMain(void* parameter) {
  auto* start = static_cast<ThreadStart*>(parameter);
  HMODULE module = start->module;
  {
    std::shared_ptr<BackgroundJob> job = std::move(start->job);
    delete start;
    job->work_(*job);
    int running = Running;
    if (!job->state_.compare_exchange_strong(running, Finished) && job->cleanup_) job->cleanup_();
    ::SetEvent(job->done_.Get());
  }
  // Drops this thread's hold on the library only after the last of its code has run.
  ::FreeLibraryAndExitThread(module, 0);
  return 0;
}

bool BackgroundJob::Abandon() {
  RequestCancel();
  int running = Running;
  return state_.compare_exchange_strong(running, Abandoned);
}

}  // namespace pk::update
