// The second half of an update: the installer that a verified manifest names
// is downloaded into a new private folder of the user's temp folder while a
// progress window offers to cancel, its size and SHA-256 are checked against
// the manifest, and only then is it started. Whatever is not started is deleted.
#pragma once

#include <windows.h>

#include "updater/manifest.h"
#include "updater/nub_updater.h"
#include "updater/transfer_pace.h"

namespace pk::update {

enum class InstallerMode {
  Window,  // the installer shows its pages
  Silent,  // started with /S: it installs without a window
};

// `owner`: the window the progress window belongs to (disabled meanwhile), or
// null. A transfer that falls below `limits` is stopped; the user may cancel
// it at any time.
CheckResult DownloadAndRun(const Manifest& manifest, HWND owner, InstallerMode mode, const PaceLimits& limits);

}  // namespace pk::update
