#include "updater/installer_download.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text.h"
#include "updater/background_job.h"
#include "updater/cng.h"
#include "updater/download_folder.h"
#include "updater/http_fetch.h"
#include "updater/updater_resource.h"
#include "updater_messages.h"

namespace pk::update {
namespace {

// WinHTTP's own timeouts on a download: they only end a read that the window
// thread has given up on by the pace rules, so they are longer than those.
constexpr DWORD kTransferBackstopMs = 30000;
// How long a cancelled download may take to notice before it is left to end
// (and clean up) on its own.
constexpr DWORD kCancelGraceMs = 2000;
// A download this short ends before its window would appear: no flash.
constexpr ULONGLONG kShowProgressAfterMs = 300;

HMODULE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// Shared by the window thread and the download thread.
struct Transfer {
  std::string folder;
  std::string file;
  Url url;
  uint64_t size = 0;
  std::atomic<uint64_t> received{0};
  PaceLimits limits;
  FetchError error = FetchError::None;  // read only after the job is done
  PaceVerdict cutOff = PaceVerdict::Moving;  // the window thread's own
};

// Marks an open file to be deleted when its last handle closes, or takes the mark back.
bool SetDeleteOnClose(HANDLE file, bool del) {
  FILE_DISPOSITION_INFO disposition{del};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

void Download(Transfer& transfer, BackgroundJob& job) {
  win32::UniqueKernelHandle out(::CreateFileW(win32::WideFromUtf8(transfer.file).c_str(), GENERIC_WRITE | DELETE, 0,
                                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (out.Get() == INVALID_HANDLE_VALUE) {
    out.Release();
    transfer.error = FetchError::Sink;
    return;
  }
  // Until it is complete, the file goes with its handle: a download that a
  // cancel left behind and the end of the program cut short leaves nothing.
  if (!SetDeleteOnClose(out.Get(), true)) {
    transfer.error = FetchError::Sink;
    return;
  }
  FetchOptions options{.timeoutMs = kTransferBackstopMs, .maxBytes = transfer.size, .cancel = &job.CancelFlag()};
  transfer.error = HttpGet(transfer.url, options, [&](Bytes piece) {
    DWORD written = 0;
    if (!::WriteFile(out.Get(), piece.data(), DWORD(piece.size()), &written, nullptr) || written != piece.size()) {
      return false;
    }
    transfer.received += piece.size();
    return true;
  });
  if (transfer.error == FetchError::None && !job.Cancelled() && !SetDeleteOnClose(out.Get(), false)) {
    transfer.error = FetchError::Sink;
  }
}

INT_PTR CALLBACK ProgressProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrA(dialog, DWLP_USER, l);
    return TRUE;
  }
  // Escape, the close box and the Cancel button all arrive as IDCANCEL.
  if (message == WM_COMMAND && LOWORD(w) == IDCANCEL) {
    auto* job = reinterpret_cast<BackgroundJob*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    if (job) job->RequestCancel();
    ::EnableWindow(::GetDlgItem(dialog, IDCANCEL), FALSE);
    return TRUE;
  }
  return FALSE;
}

// Shows the progress window and lets messages run until the download ends or
// is cancelled. False when the download was left to finish on its own after
// a cancel (it then deletes its file itself).
bool RunProgressWindow(const Manifest& manifest, HWND owner, Transfer& transfer,
                       const std::shared_ptr<BackgroundJob>& job) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  HWND dialog = ::CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(IDD_UPDATE_PROGRESS), owner, &ProgressProc,
                                     reinterpret_cast<LPARAM>(job.get()));
  if (dialog) {
    char status[256];
    std::snprintf(status, sizeof status, update_msg::kDownloading, manifest.product.c_str(),
                  manifest.version.Text().c_str());
    // GBK texts, shown the same on every system.
    ::SetWindowTextW(dialog, win32::WideFromGbk(update_msg::kUpdateCaption).c_str());
    ::SetDlgItemTextW(dialog, IDC_UPDATE_STATUS, win32::WideFromGbk(status).c_str());
    ::SendDlgItemMessageA(dialog, IDC_UPDATE_PROGRESS, PBM_SETRANGE32, 0, 1000);
    // Centred on the owner, or on the screen without one.
    RECT area, self;
    if (!owner || !::GetWindowRect(owner, &area)) ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    ::GetWindowRect(dialog, &self);
    ::SetWindowPos(dialog, nullptr, (area.left + area.right - (self.right - self.left)) / 2,
                   (area.top + area.bottom - (self.bottom - self.top)) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  // The owner takes no input meanwhile, as under a modal dialog.
  bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerWasEnabled) ::EnableWindow(owner, FALSE);

  bool quit = false;
  WPARAM quitCode = 0;
  HANDLE done = job->DoneEvent();
  ULONGLONG start = ::GetTickCount64();
  TransferPace pace(transfer.limits, start);
  while (::MsgWaitForMultipleObjects(1, &done, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 && !job->Cancelled()) {
    if (dialog && !::IsWindowVisible(dialog) && ::GetTickCount64() - start >= kShowProgressAfterMs) {
      ::ShowWindow(dialog, SW_SHOW);
    }
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program is ending: stop, and hand the request on afterwards.
        quit = true;
        quitCode = msg.wParam;
        job->RequestCancel();
        break;
      }
      if (!dialog || !::IsDialogMessageW(dialog, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
      }
    }
    if (dialog && transfer.size > 0) {
      ::SendDlgItemMessageA(dialog, IDC_UPDATE_PROGRESS, PBM_SETPOS,
                            WPARAM(transfer.received.load() * 1000 / transfer.size), 0);
    }
    // Checked here, not by the transfer: a read can block for as long as
    // the server keeps the connection open.
    transfer.cutOff = pace.Note(::GetTickCount64(), transfer.received.load());
    if (transfer.cutOff != PaceVerdict::Moving) job->RequestCancel();
  }
  bool finished = true;
  if (job->Cancelled()) {
    // The user sees the cancel at once; the transfer gets a moment to stop.
    if (dialog) ::ShowWindow(dialog, SW_HIDE);
    if (!job->Wait(kCancelGraceMs)) finished = !job->Abandon();
  }

  // The owner is enabled before the window goes, so that it becomes active again.
  if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
  if (dialog) ::DestroyWindow(dialog);
  if (quit) ::PostQuitMessage(int(quitCode));
  return finished;
}

// Opens the downloaded file so that it cannot change until the installer has
// started, and checks it against the manifest.
win32::UniqueKernelHandle OpenVerified(const std::string& file, const Manifest& manifest) {
  win32::UniqueKernelHandle in(
      ::CreateFileW(win32::WideFromUtf8(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (in.Get() == INVALID_HANDLE_VALUE) {
    in.Release();
    return {};
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(in.Get(), &size) || uint64_t(size.QuadPart) != manifest.installerSize) return {};
  Sha256 hash;
  std::vector<uint8_t> buffer(64 * 1024);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in.Get(), buffer.data(), DWORD(buffer.size()), &got, nullptr)) return {};
    if (got == 0) break;
    hash.Update(Bytes(buffer.data(), got));
  }
  auto digest = hash.Finish();
  if (!digest || *digest != manifest.installerSha256) return {};
  return in;
}

// Why a transfer that did not finish was stopped.
CheckResult Stopped(const Transfer& transfer) {
  if (transfer.cutOff == PaceVerdict::Stalled) return kDownloadStalled;
  if (transfer.cutOff == PaceVerdict::TooSlow) return kDownloadTooSlow;
  return kCancelled;
}

}  // namespace

CheckResult DownloadAndRun(const Manifest& manifest, HWND owner, InstallerMode mode,
                           const PaceLimits& limits) {
  auto transfer = std::make_shared<Transfer>();
  transfer->folder = MakePrivateFolder();
  if (transfer->folder.empty()) return kDownloadFailed;
  // Always started as a program: no other handler (an installer service
  // that opens the file after our lock on it is gone) is ever involved.
  transfer->file = transfer->folder + "\\setup-" + manifest.version.Text() + ".exe";
  transfer->url = manifest.installerUrl;
  transfer->size = manifest.installerSize;
  transfer->limits = limits;

  auto job = BackgroundJob::Start([transfer](BackgroundJob& self) { Download(*transfer, self); },
                                  [transfer] { DeleteDownload(transfer->folder, transfer->file); });
  if (!job) {
    DeleteDownload(transfer->folder, transfer->file);
    return kDownloadFailed;
  }
  if (!RunProgressWindow(manifest, owner, *transfer, job)) return Stopped(*transfer);

  if (job->Cancelled() || transfer->error != FetchError::None) {
    DeleteDownload(transfer->folder, transfer->file);
    if (job->Cancelled()) return Stopped(*transfer);
    // More bytes than the manifest's size is a size that does not match.
    return transfer->error == FetchError::TooLarge ? kVerificationFailed : kDownloadFailed;
  }
  win32::UniqueKernelHandle verified = OpenVerified(transfer->file, manifest);
  if (!verified) {
    DeleteDownload(transfer->folder, transfer->file);
    return kVerificationFailed;
  }
  // Wide names: the temp folder may be named outside the ANSI code page.
  const std::wstring file = win32::WideFromUtf8(transfer->file), folder = win32::WideFromUtf8(transfer->folder);
  SHELLEXECUTEINFOW run{};
  run.cbSize = sizeof run;
  run.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  run.lpVerb = L"open";
  run.lpFile = file.c_str();
  run.lpParameters = mode == InstallerMode::Silent ? L"/S" : nullptr;
  run.lpDirectory = folder.c_str();
  run.nShow = SW_SHOWNORMAL;
  bool started = ::ShellExecuteExW(&run);
  // The verified file stays locked against writers until the installer runs.
  verified.Reset();
  if (!started) {
    DeleteDownload(transfer->folder, transfer->file);
    return kLaunchFailed;
  }
  return kInstallerStarted;
}

}  // namespace pk::update
