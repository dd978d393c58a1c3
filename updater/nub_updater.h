// NubUpdater.dll, the program's update library. The program calls one
// function when the user leaves its main window; the library looks for a
// newer version at the update location and, if the user agrees (or has chosen
// automatic updates), downloads, verifies and starts its installer.
// docs/updates.md describes the manifest, the keys and the release steps.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// `location`: the folder URL that holds manifest.txt ("https://host/up/pixelkite/").
// `reserved`: 0. Returns when done, with one of the codes below (callers may
// ignore it); it shows nothing for "no update" or any failure.
int WINAPI CheckForUpdate(const char* location, int reserved);

#ifdef __cplusplus
}

namespace pk::update {

// What CheckForUpdate did, for tests and logs.
enum CheckResult : int {
  kNotDue = 2,            // this user's last check was less than a day ago: nothing fetched
  kInstallerStarted = 1,
  kUpToDate = 0,          // the manifest names this version or an older one
  kDeclined = -1,         // the user answered No
  kCancelled = -2,        // the user cancelled the download
  kBusy = -3,             // a check was already running on this process
  kBadLocation = -4,      // the location is not an address the library trusts
  kNoHostVersion = -5,    // the program has no usable version record
  kManifestUnreachable = -6,
  kManifestRefused = -7,  // malformed, oversized, another product
  kSignatureRefused = -8,
  kDownloadFailed = -9,
  kVerificationFailed = -10,  // size or SHA-256 differ from the manifest
  kLaunchFailed = -11,
  kManifestExpired = -12,  // signed, but past its expiry
  kDownloadStalled = -13,  // no byte for too long
  kDownloadTooSlow = -14,  // too few bytes over too long a stretch
};

}  // namespace pk::update
#endif
