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
#include "updater/http_fetch.h"
#include "updater/updater_resource.h"
#include "updater_messages.h"

namespace pk::update {
namespace {

// A stalled download gives up after this long without data.
constexpr DWORD kDownloadTimeoutMs = 15000;
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

// A new folder that no one else has put anything into: the installer runs
// from it, and an installer loads DLLs from its own folder first.
std::string MakePrivateFolder() {
  char temp[MAX_PATH + 1] = {};
  DWORD length = ::GetTempPathA(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) return {};
  for (int attempt = 0; attempt < 8; ++attempt) {
    uint8_t random[8];
    if (!RandomBytes(random)) return {};
    std::string folder = std::string(temp) + "pixelkite-update-";
    for (uint8_t b : random) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", b);
      folder += hex;
    }
    if (::CreateDirectoryA(folder.c_str(), nullptr)) return folder;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

// The installer's file name keeps an .msi extension (the shell runs those
// through the installer service); everything else is started as an .exe.
std::string InstallerName(const Manifest& manifest) {
  const std::string& path = manifest.installerUrl.path;
  std::string tail = path.substr(0, path.find('?'));
  bool msi = tail.size() >= 4 && _stricmp(tail.c_str() + tail.size() - 4, ".msi") == 0;
  return "setup-" + manifest.version.Text() + (msi ? ".msi" : ".exe");
}

void DeleteDownload(const std::string& folder, const std::string& file) {
  ::DeleteFileA(file.c_str());
  ::RemoveDirectoryA(folder.c_str());
}

// Shared by the window thread and the download thread.
struct Transfer {
  std::string folder;
  std::string file;
  Url url;
  uint64_t size = 0;
  std::atomic<uint64_t> received{0};
  FetchError error = FetchError::None;  // read only after the job is done
};

// Marks an open file to be deleted when its last handle closes, or takes the mark back.
bool SetDeleteOnClose(HANDLE file, bool del) {
  FILE_DISPOSITION_INFO disposition{del};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

void Download(Transfer& transfer, BackgroundJob& job) {
  win32::UniqueKernelHandle out(::CreateFileA(transfer.file.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
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
  FetchOptions options{.timeoutMs = kDownloadTimeoutMs, .maxBytes = transfer.size, .cancel = &job.CancelFlag()};
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
  while (::MsgWaitForMultipleObjects(1, &done, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 && !job->Cancelled()) {
    if (dialog && !::IsWindowVisible(dialog) && ::GetTickCount64() - start >= kShowProgressAfterMs) {
      ::ShowWindow(dialog, SW_SHOW);
    }
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // The program is ending: stop, and hand the request on afterwards.
        quit = true;
        quitCode = msg.wParam;
        job->RequestCancel();
        break;
      }
      if (!dialog || !::IsDialogMessageA(dialog, &msg)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
      }
    }
    if (dialog && transfer.size > 0) {
      ::SendDlgItemMessageA(dialog, IDC_UPDATE_PROGRESS, PBM_SETPOS,
                            WPARAM(transfer.received.load() * 1000 / transfer.size), 0);
    }
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
      ::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

}  // namespace

CheckResult DownloadAndRun(const Manifest& manifest, HWND owner) {
  auto transfer = std::make_shared<Transfer>();
  transfer->folder = MakePrivateFolder();
  if (transfer->folder.empty()) return kDownloadFailed;
  transfer->file = transfer->folder + "\\" + InstallerName(manifest);
  transfer->url = manifest.installerUrl;
  transfer->size = manifest.installerSize;

  auto job = BackgroundJob::Start([transfer](BackgroundJob& self) { Download(*transfer, self); },
                                  [transfer] { DeleteDownload(transfer->folder, transfer->file); });
  if (!job) {
    DeleteDownload(transfer->folder, transfer->file);
    return kDownloadFailed;
  }
  if (!RunProgressWindow(manifest, owner, *transfer, job)) return kCancelled;

  if (job->Cancelled() || transfer->error != FetchError::None) {
    DeleteDownload(transfer->folder, transfer->file);
    if (job->Cancelled()) return kCancelled;
    // More bytes than the manifest's size is a size that does not match.
    return transfer->error == FetchError::TooLarge ? kVerificationFailed : kDownloadFailed;
  }
  win32::UniqueKernelHandle verified = OpenVerified(transfer->file, manifest);
  if (!verified) {
    DeleteDownload(transfer->folder, transfer->file);
    return kVerificationFailed;
  }
  SHELLEXECUTEINFOA run{};
  run.cbSize = sizeof run;
  run.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  run.lpVerb = "open";
  run.lpFile = transfer->file.c_str();
  run.lpDirectory = transfer->folder.c_str();
  run.nShow = SW_SHOWNORMAL;
  bool started = ::ShellExecuteExA(&run);
  // The verified file stays locked against writers until the installer runs.
  verified.Reset();
  if (!started) {
    DeleteDownload(transfer->folder, transfer->file);
    return kLaunchFailed;
  }
  return kInstallerStarted;
}

}  // namespace pk::update
