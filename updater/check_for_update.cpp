// The library's one export. Order of trust: the location must be an address
// the library accepts; the manifest must be small, signed by the maker's key,
// well formed and unexpired, and name this program and a newer version; the
// installer must have the manifest's size and SHA-256. Anything short of that
// ends the check silently. A user's exits look at the network once a day.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "updater/auto_update_setting.h"
#include "updater/background_job.h"
#include "updater/check_record.h"
#include "updater/download_folder.h"
#include "updater/host_version.h"
#include "updater/http_fetch.h"
#include "updater/installer_download.h"
#include "updater/manifest.h"
#include "updater/nub_updater.h"
#include "updater/update_key.h"
#include "updater_messages.h"

namespace pk::update {
namespace {

// Each step of the manifest's fetch may take this long...
constexpr DWORD kManifestTimeoutMs = 3000;
// ...and the whole fetch no longer than this, so that a dead, silent or
// trickling server holds the program's exit for less than 5 seconds in all.
constexpr DWORD kManifestDeadlineMs = 4000;

#ifdef PK_UPDATER_TEST_LIMITS
// The tests' library gives up on a slow download sooner, so that the suite
// need not wait out the real limits.
constexpr PaceLimits kDownloadPace{.stallMs = 4000, .windowMs = 8000, .windowBytes = 1024};
#else
constexpr PaceLimits kDownloadPace{};
#endif

std::atomic<bool> checking{false};

struct ManifestFetch {
  std::vector<uint8_t> bytes;
  FetchError error = FetchError::None;
};

CheckResult FetchManifest(const Url& url, std::vector<uint8_t>* out) {
  auto fetch = std::make_shared<ManifestFetch>();
  auto job = BackgroundJob::Start([fetch, url](BackgroundJob& self) {
    FetchOptions options{.timeoutMs = kManifestTimeoutMs, .maxBytes = kMaxManifestSize, .cancel = &self.CancelFlag()};
    fetch->error = HttpGet(url, options, [&](Bytes piece) {
      fetch->bytes.insert(fetch->bytes.end(), piece.begin(), piece.end());
      return true;
    });
  });
  if (!job) return kManifestUnreachable;
  if (!job->Wait(kManifestDeadlineMs) && job->Abandon()) return kManifestUnreachable;
  if (fetch->error == FetchError::TooLarge) return kManifestRefused;
  if (fetch->error != FetchError::None) return kManifestUnreachable;
  *out = std::move(fetch->bytes);
  return kUpToDate;
}

bool UserAgrees(HWND owner, const Manifest& manifest) {
  char first[256];
  std::snprintf(first, sizeof first, update_msg::kPromptNewVersion, manifest.product.c_str(),
                manifest.version.Text().c_str());
  std::string text = first;
  text += "\r\n\r\n";
  if (!manifest.notes.empty()) text += manifest.notes + "\r\n\r\n";
  text += update_msg::kPromptQuestion;
  // The library's words and the notes are GBK, shown the same on every system.
  return ::MessageBoxW(owner, win32::WideFromGbk(text).c_str(), win32::WideFromGbk(update_msg::kUpdateCaption).c_str(),
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The placeholder the repository carries until the maker sets the release
// key: no point on the curve, so nothing could verify; nothing is fetched.
bool IsPlaceholderKey(const P256PublicKey& key) {
  for (uint8_t b : key) {
    if (b != 0) return false;
  }
  return true;
}

CheckResult Check(const char* location) {
  if (IsPlaceholderKey(kUpdatePublicKey)) return kSignatureRefused;
#ifdef PK_UPDATER_TEST_HOOKS
  // Test libraries only: an installed program (whose location is fixed) is
  // pointed at a loopback server.
  char testLocation[kMaxUrlLength + 1];
  DWORD length = ::GetEnvironmentVariableA("PK_TEST_UPDATE_LOCATION", testLocation, sizeof testLocation);
  if (length > 0 && length < sizeof testLocation) location = testLocation;
#endif
  if (!location || strnlen(location, kMaxUrlLength + 1) > kMaxUrlLength) return kBadLocation;
  Url manifestUrl;
  if (ParseUrl(ManifestUrlFor(location), &manifestUrl) != UrlError::None) return kBadLocation;
  HostProgram host;
  if (!ReadHostProgram(&host)) return kNoHostVersion;
  int64_t now = UnixNow();
  if (!CheckDue(now)) return kNotDue;
  RecordCheck(now);
  RemoveEarlierFolders();

  std::vector<uint8_t> bytes;
  if (CheckResult fetched = FetchManifest(manifestUrl, &bytes); fetched != kUpToDate) return fetched;
  // Nothing but the signature line is read before the signature is checked.
  SignedManifest signedManifest;
  if (SplitSignature(bytes, &signedManifest) != ManifestError::None) return kManifestRefused;
  if (!VerifyP256(kUpdatePublicKey, signedManifest.signedBytes, signedManifest.signature)) return kSignatureRefused;
  Manifest manifest;
  if (ParseManifest(signedManifest.signedBytes, &manifest) != ManifestError::None) return kManifestRefused;
  if (Expired(manifest, now)) return kManifestExpired;
  if (manifest.product != host.product) return kManifestRefused;
  if (manifest.version <= host.version) return kUpToDate;

  // The window the user is looking at (the program's main window) owns the
  // prompt and the progress window.
  HWND owner = ::GetActiveWindow();
  // Automatic updates install silently; after a Yes the installer shows its window.
  const bool automatic = AutoUpdateWithoutPrompt();
  if (!automatic && !UserAgrees(owner, manifest)) return kDeclined;
  return DownloadAndRun(manifest, owner, automatic ? InstallerMode::Silent : InstallerMode::Window,
                        kDownloadPace);
}

}  // namespace
}  // namespace pk::update

extern "C" int WINAPI CheckForUpdate(const char* location, int reserved) {
  using namespace pk::update;
  // The progress window lets messages run; a second call from one of them
  // (another Exit, say) must not start a second check.
  if (checking.exchange(true)) return kBusy;
  CheckResult result = Check(location);
  checking = false;
  return result;
}
