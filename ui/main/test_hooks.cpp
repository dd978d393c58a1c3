#include "ui/main/test_hooks.h"

#ifdef PK_COUNT_HANDLES
// WIN32_LEAN_AND_MEAN leaves the shell's drop handles out of <windows.h>.
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "platform/win32/unique_handle.h"

namespace {

constexpr char kTestDropMessage[] = "Pixelkite.TestDrop";

LRESULT issuedTickets = 0;
LRESULT handledTickets = 0;

// The block the shell hands over for a drop: DROPFILES, then the wide file
// names, each ended by a zero, and one more zero.
HDROP MakeDrop(const wchar_t* path, size_t length) {
  const size_t bytes = sizeof(DROPFILES) + (length + 2) * sizeof(wchar_t);
  HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (!block) return nullptr;
  auto* drop = static_cast<DROPFILES*>(::GlobalLock(block));
  if (!drop) {
    ::GlobalFree(block);
    return nullptr;
  }
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path, length * sizeof(wchar_t));
  ::GlobalUnlock(block);
  return static_cast<HDROP>(block);
}

}  // namespace

bool AnswerTestMessage(HWND window, UINT message, WPARAM w, LPARAM l, LRESULT* result) {
  static const UINT queryMessage = ::RegisterWindowMessageA(kTestQueryMessage);
  static const UINT dropMessage = ::RegisterWindowMessageA(kTestDropMessage);
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(l);
    if (!data || data->dwData != kTestDropTag) return false;
    const size_t length = data->cbData / sizeof(wchar_t);
    HDROP drop = nullptr;
    if (length > 0) {
      drop = MakeDrop(static_cast<const wchar_t*>(data->lpData), length);
      if (!drop) {
        *result = 0;
        return true;
      }
    }
    // Posted, so that the sender is answered at once and the open runs from
    // the window's own loop, boxes and all.
    ::PostMessageA(window, dropMessage, reinterpret_cast<WPARAM>(drop), ++issuedTickets);
    *result = issuedTickets;
    return true;
  }
  if (message == dropMessage) {
    // The window procedure sees WM_DROPFILES as from the shell, and frees the drop.
    if (w) ::SendMessageA(window, WM_DROPFILES, w, 0);
    handledTickets = l;
    *result = 0;
    return true;
  }
  if (message == queryMessage) {
    if (w == kTestQueryDone) {
      *result = handledTickets;
    } else if (w < WPARAM(pk::win32::HandleKind::Count)) {
      *result = pk::win32::LiveHandles(pk::win32::HandleKind(w));
    } else {
      *result = -1;
    }
    return true;
  }
  return false;
}
#endif
