// Platform icons and HICONs on Windows, where a platform icon is the HICON
// itself: for the Windows program, which also gets icons from the shell.
#pragma once

#include <windows.h>

#include "platform/icon.h"

namespace pk::platform {

// Takes ownership of an icon made outside the icon service (ExtractIconW, for
// one); it is counted and released like every icon the service makes.
IconHandle AdoptIcon(HICON icon);

// The HICON of a platform icon; null for none.
inline HICON HiconOf(const IconHandle& icon) { return reinterpret_cast<HICON>(icon.get()); }

}  // namespace pk::platform
