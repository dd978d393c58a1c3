// The probe's commands that act as the user does: keys, clicks on buttons and
// on the caption's close box, and answers to the windows a program puts up.
// Each prints "ok ..." or "FAIL ..." lines and returns 0 when all went well.
//
//   probe key <title> escape|enter    the key, to the window titled <title>
//   probe click <title> <id>          clicks button <id> of that window
//   probe closebox <title>            clicks the close box of its caption
//   probe dismiss-owned <title> [ms]  cancels the windows it owns (a file dialog),
//                                     waiting up to ms for one to appear
//   probe answer <caption> yes|no <ms>  answers a Yes/No box, printing its text
//   probe cancel <caption> <ms>       cancels a download window once it has begun
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool failed = false;

void Report(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok" : "FAIL", what);
  if (!ok) failed = true;
}

// The probe's main hands every argument over as UTF-8 (it reads the wide
// command line), whatever the code page.
std::wstring FromArgument(const char* text) {
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(size_t(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
  return out;
}

std::string ToUtf8(const std::wstring& text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

struct Search {
  std::wstring title;
  int controlId;  // 0: any window with the title
  HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM l) {
  auto* search = reinterpret_cast<Search*>(l);
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, 256);
  if (!::IsWindowVisible(window) || search->title != text) return TRUE;
  if (search->controlId && !::GetDlgItem(window, search->controlId)) return TRUE;
  search->found = window;
  return FALSE;
}

// The first visible top-level window titled `title` (with control
// `controlId`, if not 0), waiting up to `ms`.
HWND WaitFor(const std::wstring& title, int controlId, int ms) {
  for (int waited = 0;; waited += 50) {
    Search search{title, controlId, nullptr};
    ::EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
    if (search.found || waited >= ms) return search.found;
    ::Sleep(50);
  }
}

// Brings `window` to the front so that input reaches it.
bool Foreground(HWND window) {
  for (int i = 0; i < 40; ++i) {
    if (::GetForegroundWindow() == window) return true;
    ::SetForegroundWindow(window);
    ::Sleep(50);
  }
  return ::GetForegroundWindow() == window;
}

void Key(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, input, sizeof(INPUT));
}

void ClickAt(POINT point) {
  ::SetCursorPos(point.x, point.y);
  ::Sleep(50);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &input[0], sizeof(INPUT));
  ::Sleep(100);
  ::SendInput(1, &input[1], sizeof(INPUT));
}

// The close box lies at the right end of the caption: the first point from
// the right that the window itself calls HTCLOSE.
bool FindCloseBox(HWND window, POINT* out) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  for (int y = rect.top + 2; y < rect.top + 40; y += 2) {
    for (int x = rect.right - 2; x > rect.right - 80; x -= 2) {
      LRESULT hit = ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
      if (hit == HTCLOSE) {
        *out = {x - 4, y + 2};
        return ::SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(out->x, out->y)) == HTCLOSE;
      }
    }
  }
  return false;
}

struct OwnedSearch {
  HWND owner;
  int cancelled = 0;
};

BOOL CALLBACK CancelOwned(HWND window, LPARAM l) {
  auto* search = reinterpret_cast<OwnedSearch*>(l);
  if (::GetWindow(window, GW_OWNER) == search->owner && ::IsWindowVisible(window)) {
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    std::printf("info cancelled an owned window\n");
    ++search->cancelled;
  }
  return TRUE;
}

}  // namespace

// -1 when `command` is not one of these.
int RunUserCommand(const std::string& command, int argc, char** argv) {
  failed = false;  // a served probe runs many commands
  std::wstring title = FromArgument(argv[2]);
  if (command == "key" && argc > 3) {
    HWND window = WaitFor(title, 0, 10000);
    Report(window != nullptr, "the window is there");
    if (!window) return 1;
    Report(Foreground(window), "the window is in front");
    std::string which = argv[3];
    Key(which == "escape" ? VK_ESCAPE : VK_RETURN);
    return failed ? 1 : 0;
  }
  if (command == "click" && argc > 3) {
    HWND window = WaitFor(title, std::atoi(argv[3]), 10000);
    Report(window != nullptr, "the window and its button are there");
    if (!window) return 1;
    ::PostMessageW(::GetDlgItem(window, std::atoi(argv[3])), BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "closebox") {
    HWND window = WaitFor(title, 0, 10000);
    Report(window != nullptr, "the window is there");
    if (!window) return 1;
    Report(Foreground(window), "the window is in front");
    POINT point;
    bool found = FindCloseBox(window, &point);
    Report(found, "the caption has a close box");
    if (found) ClickAt(point);
    return failed ? 1 : 0;
  }
  if (command == "dismiss-owned") {
    // With a time, waits that long for an owned window to appear (a dialog
    // opens late on a busy machine); without, cancels what is there now.
    const int wait = argc > 3 ? std::atoi(argv[3]) : 0;
    HWND window = WaitFor(title, 0, 10000);
    if (!window) return 0;
    OwnedSearch search{window};
    for (int waited = 0;; waited += 100) {
      ::EnumWindows(&CancelOwned, reinterpret_cast<LPARAM>(&search));
      if (search.cancelled > 0 || waited >= wait) break;
      ::Sleep(100);
    }
    return wait > 0 && search.cancelled == 0 ? 1 : 0;
  }
  if (command == "answer" && argc > 4) {
    bool yes = std::string(argv[3]) == "yes";
    HWND box = WaitFor(title, IDYES, std::atoi(argv[4]));
    Report(box != nullptr, "a Yes/No box appeared");
    if (!box) return 1;
    // A message box's text is its static control 0xFFFF.
    wchar_t text[4096] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
    std::printf("text %s\n", ToUtf8(text).c_str());
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(yes ? IDYES : IDNO, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box, yes ? IDYES : IDNO)));
    return 0;
  }
  if (command == "cancel" && argc > 3) {
    constexpr int kProgressBar = 1002;
    HWND window = WaitFor(title, kProgressBar, std::atoi(argv[3]));
    Report(window != nullptr, "the progress window appeared");
    if (!window) return 1;
    // Cancel once bytes are arriving, so the transfer is really under way.
    HWND bar = ::GetDlgItem(window, kProgressBar);
    for (int i = 0; i < 200 && ::SendMessageW(bar, PBM_GETPOS, 0, 0) == 0; ++i) ::Sleep(50);
    Report(::SendMessageW(bar, PBM_GETPOS, 0, 0) > 0, "the download had begun");
    ::PostMessageW(::GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
    return failed ? 1 : 0;
  }
  return -1;
}
