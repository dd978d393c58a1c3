// A small Windows program that looks at Pixelkite's windows from outside, the
// way a user would see them, through Win32 calls rather than screen scraping.
// Each command prints one line per check ("ok ..." or "FAIL ...") and exits
// 0 when every check passed, 1 otherwise, 2 on a usage error.
//
//   probe wait <title> <ms>      wait for a visible top-level window
//   probe count <title>          print the number of such windows
//   probe startup <title>        the main window right after start
//   probe minimised <title>      minimise, check the painted icon, restore
//   probe close <title>          ask every such window to close
//
// Driving the commands the way a user does, through the real common dialogs.
// Each prints what appeared ("dialog ...", "box ...") and then the window's
// state ("list ...", "entry ...", "buttons ...", "preview ...") as UTF-8:
//   probe open <title> <path>|--cancel             Browse, type the path, Open
//   probe save <title> <path>|--cancel [filter [yes|no]]  Save as, pick a filter (1-based), type, Save;
//                                                  a question is answered no unless yes is given
//   probe copy <title> <out>|--held <out>          Copy; the clipboard's CF_DIB into <out>
//   probe select <title> <index>                   click an entry of the list
//   probe state <title>                            only the state
//   probe click <title> <id>                       click a button and go (what it opens stays)
//   probe icon <title> <file> [group]              the preview shows that file's
//                                                  (group's) icon, pixel for pixel
//   probe buttons <title> <out> [<reference>]     the six buttons' pixels into <out>,
//                                                  compared with <reference> if given
//   probe codepage -                               the system's ANSI code page
//   probe keep-desktop -                           never ends: keeps the desktop open
//   probe bench <title> <module> <between> <rounds>  times the open of <module> from
//                                                  confirming the dialog to the list
//                                                  filled and the preview set, against
//                                                  LoadLibraryExA + EnumResourceNamesA
//
// and the commands that press keys and answer boxes (probe_input.cpp), the
// run over a hostile corpus (probe_hostile.cpp), and the installer's checks
// (probe_install.cpp).
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/probe.h"

// The user's commands of probe_input.cpp; -1 for any other command.
int RunUserCommand(const std::string& command, int argc, char** argv);

namespace probe {

int failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok" : "FAIL", what);
  if (!ok) ++failures;
}

struct Found {
  std::wstring title;
  std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND window, LPARAM l) {
  auto* found = reinterpret_cast<Found*>(l);
  wchar_t text[256];
  if (::IsWindowVisible(window) && ::GetWindowTextW(window, text, 256) > 0 && found->title == text) {
    found->windows.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> Windows(const std::wstring& title) {
  Found found{title, {}};
  ::EnumWindows(&Collect, reinterpret_cast<LPARAM>(&found));
  return found.windows;
}

std::wstring Widen(const char* text) {
  int n = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  std::wstring out(size_t(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
  return out;
}

std::wstring Text(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, 512);
  return text;
}

HWND MainWindow(const std::wstring& title) {
  auto windows = Windows(title);
  return windows.empty() ? nullptr : windows.front();
}

int Startup(HWND dialog) {
  wchar_t className[64] = {};
  ::GetClassNameW(dialog, className, 64);
  Check(std::wstring(className) == L"#32770", "the main window is a dialog");
  LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
  LONG exStyle = ::GetWindowLongW(dialog, GWL_EXSTYLE);
  Check((style & WS_SYSMENU) && (style & WS_CAPTION) && !(style & WS_MINIMIZEBOX) && !(style & WS_MAXIMIZEBOX),
        "caption and system menu, no minimise or maximise box");
  Check((exStyle & WS_EX_APPWINDOW) != 0, "the window has a taskbar button (WS_EX_APPWINDOW)");

  struct Button {
    int id;
    const wchar_t* text;
    bool enabled;
  };
  const Button buttons[] = {{1, L"浏览...", true},    {2, L"退出", true},     {1001, L"保存为...", false},
                            {1002, L"复制", false},   {3, L"关于...", true},  {1007, L"设置", true}};
  for (const Button& b : buttons) {
    HWND control = ::GetDlgItem(dialog, b.id);
    char what[128];
    std::snprintf(what, sizeof what, "button %d exists with its caption", b.id);
    Check(control && Text(control) == b.text, what);
    std::snprintf(what, sizeof what, "button %d is %s", b.id, b.enabled ? "enabled" : "disabled");
    Check(control && bool(::IsWindowEnabled(control)) == b.enabled, what);
    std::snprintf(what, sizeof what, "button %d is owner-drawn (skinned)", b.id);
    Check(control && (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW, what);
  }
  HWND list = ::GetDlgItem(dialog, 1000);
  Check(list && ::SendMessageW(list, LB_GETCOUNT, 0, 0) == 0, "the icon list is empty");
  Check(list && (::GetWindowLongW(list, GWL_STYLE) & LBS_SORT) == LBS_SORT, "the icon list sorts its entries");
  HWND preview = ::GetDlgItem(dialog, 1003);
  Check(preview && ::SendMessageW(preview, STM_GETICON, 0, 0) == 0, "the preview is empty");

  // The system menu and the window's icons are checked inside the process
  // (pk_win_tests): Wine hands neither menus nor icon handles across processes.
  return failures ? 1 : 0;
}

void Settle(HWND dialog);

// Compares what the minimised window shows with the application icon drawn
// the same way, read from the executable that created the window.
int Minimised(HWND dialog, const char* exePath) {
  auto minimise = [dialog] {
    ::ShowWindow(dialog, SW_MINIMIZE);
    for (int i = 0; i < 50 && !::IsIconic(dialog); ++i) ::Sleep(100);
  };
  // Asked again if it has not happened after five seconds (see below).
  for (int attempt = 0; attempt < 3 && !::IsIconic(dialog); ++attempt) minimise();
  Check(::IsIconic(dialog) != 0, "the window minimises");
  ::Sleep(1000);
  RECT client{};
  ::GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ::ClientToScreen(dialog, &origin);
  int width = client.right, height = client.bottom;
  std::printf("info minimised client %dx%d at %ld,%ld\n", width, height, origin.x, origin.y);

  HMODULE exe = ::LoadLibraryExW(Widen(exePath).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HICON icon = exe ? ::LoadIconA(exe, MAKEINTRESOURCEA(128)) : nullptr;
  Check(icon != nullptr, "the application icon loads from the executable");
  if (icon && width > 0 && height > 0) {
    int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
    int x = (width - cx + 1) / 2, y = (height - cy + 1) / 2;
    // Where the icon's mask is opaque, the screen must show the icon's pixels.
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP picture = ::CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = ::SelectObject(memory, picture);
    RECT all{0, 0, cx, cy};
    HBRUSH magenta = ::CreateSolidBrush(RGB(255, 0, 255));
    ::FillRect(memory, &all, magenta);
    ::DrawIcon(memory, 0, 0, icon);
    int compared = 0, differing = 0, looks = 0;
    // On a loaded machine Wine, with no window manager, now and then
    // restores the window it had minimised, up to seconds later, and another
    // window may come up over it. So before each look, for up to ten
    // seconds, the window is minimised again if it was restored, and raised.
    int minimisedAgain = 0;
    for (; looks < 20 && (looks == 0 || differing * 20 >= compared); ++looks) {
      if (!::IsIconic(dialog)) {
        ++minimisedAgain;
        minimise();
      }
      ::SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      Settle(dialog);
      ::Sleep(looks ? 500 : 100);
      compared = differing = 0;
      for (int j = 0; j < cy; ++j) {
        for (int i = 0; i < cx; ++i) {
          COLORREF want = ::GetPixel(memory, i, j);
          if (want == RGB(255, 0, 255)) continue;
          // Only pixels that no alpha blending touched compare exactly.
          ++compared;
          if (::GetPixel(screen, origin.x + x + i, origin.y + y + j) != want) ++differing;
        }
      }
    }
    std::printf("info %d icon pixels compared, %d differ (looked %d times, minimised again %d times)\n", compared,
                differing, looks, minimisedAgain);
    if (differing * 20 >= compared) {
      // What is at the icon's place instead.
      POINT centre{origin.x + x + cx / 2, origin.y + y + cy / 2};
      HWND there = ::WindowFromPoint(centre);
      DWORD process = 0, own = 0;
      ::GetWindowThreadProcessId(there, &process);
      ::GetWindowThreadProcessId(dialog, &own);
      std::printf("info at the icon's centre: window %p of process %lu (this one: %p of %lu), iconic %d\n",
                  static_cast<void*>(there), process, static_cast<void*>(dialog), own, ::IsIconic(dialog) ? 1 : 0);
    }
    Check(compared > 100 && differing * 20 < compared, "the minimised window shows the application icon");
    ::SelectObject(memory, old);
    ::DeleteObject(picture);
    ::DeleteObject(magenta);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
  }
  ::ShowWindow(dialog, SW_RESTORE);
  for (int i = 0; i < 50 && ::IsIconic(dialog); ++i) ::Sleep(100);
  Check(!::IsIconic(dialog), "the window restores");
  return failures ? 1 : 0;
}

// ---- driving the commands ----

std::string Narrow(const std::wstring& text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n > 0 ? n - 1 : 0), '\0');
  if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

constexpr int kFileTypeCombo = 0x470;  // cmb1
constexpr int kFileNameEdit = 0x480;   // edt1
constexpr int kFileNameCombo = 0x47c;  // cmb13, the explorer style's name field
constexpr int kReadOnlyCheck = 0x410;  // chx1
constexpr int kMessageText = 0xFFFF;   // a message box's text

// Top-level windows of the program's process other than its main window:
// its message boxes and common dialogs.
struct OtherSearch {
  DWORD process;
  HWND main;
  std::vector<HWND> found;
  int hidden;  // owned by the main window, made but not shown yet
};

BOOL CALLBACK CollectOther(HWND window, LPARAM l) {
  auto* s = reinterpret_cast<OtherSearch*>(l);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  wchar_t className[64] = {};
  ::GetClassNameW(window, className, 64);
  if (process != s->process || window == s->main || std::wstring(className) != L"#32770") return TRUE;
  if (::IsWindowVisible(window))
    s->found.push_back(window);
  else if (::GetWindow(window, GW_OWNER) == s->main)
    ++s->hidden;
  return TRUE;
}

std::vector<HWND> OtherWindows(HWND dialog, int* hidden) {
  OtherSearch search{0, dialog, {}, 0};
  ::GetWindowThreadProcessId(dialog, &search.process);
  ::EnumWindows(&CollectOther, reinterpret_cast<LPARAM>(&search));
  if (hidden) *hidden = search.hidden;
  return search.found;
}

bool IsFileDialog(HWND window) { return ::GetDlgItem(window, kFileTypeCombo) != nullptr; }

// Waits until the program's thread takes messages again: it has finished the
// command or sits in the loop of a box or dialog it opened.
void Settle(HWND dialog) {
  DWORD_PTR ignored;
  ::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
}

// Prints a message box, checks that it has only an OK button and no icon, and presses OK.
// How the next question box (Yes and No) is answered.
bool answerYes = false;

void ReadAndDismissBox(HWND box) {
  int buttons = 0, icons = 0;
  HWND ok = nullptr, yes = nullptr, no = nullptr;
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child)) continue;
    wchar_t className[32] = {};
    ::GetClassNameW(child, className, 32);
    const LONG style = ::GetWindowLongW(child, GWL_STYLE);
    if (_wcsicmp(className, L"Button") == 0) {
      ++buttons;
      const int id = ::GetDlgCtrlID(child);
      if (id == IDOK) ok = child;
      if (id == IDYES) yes = child;
      if (id == IDNO) no = child;
    } else if (_wcsicmp(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
               ::SendMessageW(child, STM_GETICON, 0, 0)) {
      ++icons;
    }
  }
  const bool question = buttons == 2 && yes && no;
  SeenBox seen{Narrow(Text(box)), Narrow(Text(::GetDlgItem(box, kMessageText))), ((buttons == 1 && ok) || question) && !icons};
  if (boxLog) {
    boxLog->push_back(seen);
  } else if (question) {
    // No must be the default: Enter on the box keeps the file.
    GUITHREADINFO focus{sizeof focus};
    const bool noIsDefault = (::GetWindowLongW(no, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON ||
                             (::GetGUIThreadInfo(::GetWindowThreadProcessId(box, nullptr), &focus) && focus.hwndFocus == no);
    std::printf("question caption=%s text=%s answer=%s%s%s\n", seen.caption.c_str(), seen.text.c_str(),
                answerYes ? "yes" : "no", noIsDefault ? "" : " (Yes is the default)", icons ? " (with an icon)" : "");
    if (!seen.plain || !noIsDefault) ++failures;
  } else {
    std::printf("box caption=%s text=%s%s%s\n", seen.caption.c_str(), seen.text.c_str(),
                buttons == 1 && ok ? "" : " (not one OK button)", icons ? " (with an icon)" : "");
    if (!seen.plain) ++failures;
  }
  const int answer = question ? (answerYes ? IDYES : IDNO) : IDOK;
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, answer)));
}

bool describeDialogs = true;
std::vector<SeenBox>* boxLog = nullptr;

// Prints the file dialog's filters and whether it shows the read-only box.
void DescribeFileDialog(HWND fileDialog) {
  if (!describeDialogs) return;
  HWND types = ::GetDlgItem(fileDialog, kFileTypeCombo);
  const int count = int(::SendMessageW(types, CB_GETCOUNT, 0, 0));
  std::string filters;
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    if (::SendMessageW(types, CB_GETLBTEXTLEN, i, 0) < 255) ::SendMessageW(types, CB_GETLBTEXT, i, LPARAM(text));
    if (i) filters += '|';
    filters += Narrow(text);
  }
  HWND readOnly = ::GetDlgItem(fileDialog, kReadOnlyCheck);
  std::printf("dialog title=%s filters=%s readonly=%d\n", Narrow(Text(fileDialog)).c_str(), filters.c_str(),
              readOnly && ::IsWindowVisible(readOnly) ? 1 : 0);
}

// Types `path` into the file name field; the field must still hold it once
// the dialog's thread has caught up, since the dialog empties it as it starts.
bool TypeFileName(HWND fileDialog, const char* path) {
  // The explorer-style dialog shows either a plain field or a combo box
  // with a history of names; the other one is hidden.
  HWND name = ::GetDlgItem(fileDialog, kFileNameEdit);
  HWND combo = ::GetDlgItem(fileDialog, kFileNameCombo);
  if (combo && ::IsWindowVisible(combo)) {
    name = ::FindWindowExW(combo, nullptr, L"Edit", nullptr);
    if (!name) name = combo;
  }
  if (!name) return false;
  const std::wstring wide = Widen(path);
  HWND owner = ::GetWindow(fileDialog, GW_OWNER);
  // The dialog goes on filling its folder view for a moment after it shows.
  ::Sleep(300);
  if (owner) Settle(owner);
  for (int attempt = 0; attempt < 20; ++attempt) {
    ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    if (owner) Settle(owner);
    ::Sleep(50);
    // Sent, not GetWindowText: that only sees another process's caption.
    wchar_t typed[MAX_PATH + 1] = {};
    ::SendMessageW(name, WM_GETTEXT, MAX_PATH + 1, reinterpret_cast<LPARAM>(typed));
    if (typed == wide) return true;
  }
  return false;
}

// Types `path` into the file dialog (null: cancels it), after choosing filter `filter` (1-based; 0 keeps it).
void AnswerFileDialog(HWND fileDialog, const char* path, int filter) {
  DescribeFileDialog(fileDialog);
  if (!path) {
    ::PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(fileDialog, IDCANCEL)));
    return;
  }
  if (filter > 0) {
    HWND types = ::GetDlgItem(fileDialog, kFileTypeCombo);
    ::SendMessageW(types, CB_SETCURSEL, WPARAM(filter - 1), 0);
    // What a choice with the mouse sends: the dialog may take the new filter
    // on either notification (Wine's only on the second).
    for (WORD code : {WORD(CBN_SELCHANGE), WORD(CBN_SELENDOK)})
      ::SendMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(kFileTypeCombo, code), reinterpret_cast<LPARAM>(types));
  }
  Check(TypeFileName(fileDialog, path), "the file name is typed into the file dialog");
  ::PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(fileDialog, IDOK)));
}

// Runs until the program is idle again: file dialogs are answered with `path`
// (each only once), message boxes are read and dismissed.
void RunCommand(HWND dialog, bool expectFileDialog, const char* path, int filter) {
  bool answered = false;
  HWND answeredDialog = nullptr;
  // Boxes already answered: the answer is posted, and the wait for the
  // program (a sent message) comes back before the box has taken it.
  std::set<HWND> dismissed;
  int quiet = 0, waitedForHidden = 0;
  for (int round = 0; round < 600 && quiet < 3; ++round) {
    Settle(dialog);
    bool acted = false, closing = false;
    int hidden = 0;
    for (HWND window : OtherWindows(dialog, &hidden)) {
      if (IsFileDialog(window)) {
        if (answered) continue;  // going away
        answered = true;
        answeredDialog = window;
        AnswerFileDialog(window, path, filter);
      } else if (::GetDlgItem(window, kMessageText)) {
        if (dismissed.count(window)) {
          closing = true;
          continue;
        }
        ReadAndDismissBox(window);
        dismissed.insert(window);
      } else {
        continue;
      }
      acted = true;
      break;
    }
    if (acted) {
      quiet = 0;
      ::Sleep(100);
      continue;
    }
    // A dialog that is about to open may not be visible yet; the command
    // goes on only once the answered one is gone.
    // A box is made hidden and shown once it is laid out; on a loaded
    // machine the program may take messages in between (for a few seconds
    // at most: a dialog that stays hidden is not one on its way).
    const bool showing = hidden > 0 && waitedForHidden < 30;
    if (showing) ++waitedForHidden;
    if ((expectFileDialog && !answered) || (answeredDialog && ::IsWindow(answeredDialog)) || closing || showing) {
      ::Sleep(100);
      continue;
    }
    ++quiet;
    ::Sleep(150);
  }
  if (waitedForHidden) std::printf("info waited %d rounds for a hidden dialog to show\n", waitedForHidden);
  if (expectFileDialog) Check(answered, "the file dialog opened");
}

void Click(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void PrintState(HWND dialog) {
  HWND list = ::GetDlgItem(dialog, 1000);
  const int count = int(::SendMessageW(list, LB_GETCOUNT, 0, 0));
  std::printf("list count=%d selected=%d\n", count, int(::SendMessageW(list, LB_GETCURSEL, 0, 0)));
  // The first entries are enough to see the order; long lists are cut.
  for (int i = 0; i < count && i < 4; ++i) {
    wchar_t text[512] = {};
    if (::SendMessageW(list, LB_GETTEXTLEN, i, 0) < 511) ::SendMessageW(list, LB_GETTEXT, i, LPARAM(text));
    const LRESULT value = ::SendMessageW(list, LB_GETITEMDATA, i, 0);
    // Text names are pointers into the program: only their kind can be seen here.
    if (ULONG_PTR(value) < 0x10000)
      std::printf("entry %d value=%ld text=%s\n", i, long(value), Narrow(text).c_str());
    else
      std::printf("entry %d value=name text=%s\n", i, Narrow(text).c_str());
  }
  std::printf("buttons save=%d copy=%d\n", ::IsWindowEnabled(::GetDlgItem(dialog, 1001)) ? 1 : 0,
              ::IsWindowEnabled(::GetDlgItem(dialog, 1002)) ? 1 : 0);
  std::printf("preview icon=%d\n", ::SendMessageW(::GetDlgItem(dialog, 1003), STM_GETICON, 0, 0) ? 1 : 0);
}

int Open(HWND dialog, const char* path) {
  Click(dialog, IDOK);
  RunCommand(dialog, true, path, 0);
  PrintState(dialog);
  return failures ? 1 : 0;
}

// An open whose file dialog is not described.
void RunCommandQuietly(HWND dialog, const char* path) {
  describeDialogs = false;
  Click(dialog, IDOK);
  RunCommand(dialog, true, path, 0);
  describeDialogs = true;
}

int Save(HWND dialog, const char* path, int filter) {
  Click(dialog, 1001);
  RunCommand(dialog, true, path, filter);
  PrintState(dialog);
  return failures ? 1 : 0;
}

// Copy, then the clipboard's CF_DIB into `out` ("clipboard none" when it has none).
// `hold`: the clipboard is held open by this program while Copy runs.
int Copy(HWND dialog, const char* out, bool hold) {
  if (hold) {
    Check(::OpenClipboard(nullptr) && ::EmptyClipboard(), "the probe holds the clipboard");
  }
  Click(dialog, 1002);
  RunCommand(dialog, false, nullptr, 0);
  if (hold) ::CloseClipboard();
  if (!::OpenClipboard(nullptr)) {
    Check(false, "the clipboard opens for reading");
    return 1;
  }
  HANDLE data = ::GetClipboardData(CF_DIB);
  const void* bytes = data ? ::GlobalLock(data) : nullptr;
  if (bytes) {
    const SIZE_T size = ::GlobalSize(data);
    std::printf("info clipboard %lu bytes\nclipboard dib\n", static_cast<unsigned long>(size));
    if (FILE* f = _wfopen(Widen(out).c_str(), L"wb")) {
      std::fwrite(bytes, 1, size, f);
      std::fclose(f);
    }
    ::GlobalUnlock(data);
  } else {
    std::printf("clipboard none\n");
  }
  ::CloseClipboard();
  PrintState(dialog);
  return failures ? 1 : 0;
}

int Select(HWND dialog, int index) {
  HWND list = ::GetDlgItem(dialog, 1000);
  // What a click does: the list moves its selection and tells the dialog.
  ::SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(1000, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  RunCommand(dialog, false, nullptr, 0);
  PrintState(dialog);
  return failures ? 1 : 0;
}

// The icon the program should show: for a module, the group's best-fitting
// image at the default size; for an icon file, the shell's first icon.
HICON ExpectedIcon(const char* file, const char* group) {
  if (!group) return ::ExtractIconW(::GetModuleHandleW(nullptr), Widen(file).c_str(), 0);
  HMODULE module = ::LoadLibraryExW(Widen(file).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) return nullptr;
  char* end = nullptr;
  const unsigned long id = std::strtoul(group, &end, 10);
  const std::wstring text = Widen(group);
  LPCWSTR name = *end == '\0' ? MAKEINTRESOURCEW(id) : text.c_str();
  HICON icon = nullptr;
  HRSRC found = ::FindResourceW(module, name, MAKEINTRESOURCEW(14));
  if (found) {
    auto* directory = static_cast<BYTE*>(::LockResource(::LoadResource(module, found)));
    const int best = directory ? ::LookupIconIdFromDirectory(directory, TRUE) : 0;
    HRSRC image = best ? ::FindResourceW(module, MAKEINTRESOURCEW(best), MAKEINTRESOURCEW(3)) : nullptr;
    if (image) {
      auto* bytes = static_cast<BYTE*>(::LockResource(::LoadResource(module, image)));
      icon = ::CreateIconFromResourceEx(bytes, ::SizeofResource(module, image), TRUE, 0x00030000, 0, 0,
                                        LR_DEFAULTSIZE);
    }
  }
  ::FreeLibrary(module);
  return icon;
}

// Compares the preview on the screen with the expected icon where the icon is
// opaque (the same drawn on black and on white).
int IconShown(HWND dialog, const char* file, const char* group) {
  HICON icon = ExpectedIcon(file, group);
  Check(icon != nullptr, "the expected icon can be made");
  if (!icon) return 1;
  HWND preview = ::GetDlgItem(dialog, 1003);
  RECT box{};
  ::GetClientRect(preview, &box);
  POINT origin{0, 0};
  ::ClientToScreen(preview, &origin);
  const int cx = ::GetSystemMetrics(SM_CXICON), cy = ::GetSystemMetrics(SM_CYICON);
  HDC screen = ::GetDC(nullptr);
  auto drawnOn = [&](COLORREF background, std::vector<COLORREF>* pixels) {
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cx, cy);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    RECT all{0, 0, cx, cy};
    HBRUSH brush = ::CreateSolidBrush(background);
    ::FillRect(memory, &all, brush);
    ::DeleteObject(brush);
    ::DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    for (int y = 0; y < cy; ++y)
      for (int x = 0; x < cx; ++x) pixels->push_back(::GetPixel(memory, x, y));
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
  };
  std::vector<COLORREF> onBlack, onWhite;
  drawnOn(RGB(0, 0, 0), &onBlack);
  drawnOn(RGB(255, 255, 255), &onWhite);
  // An icon no larger than the box is centred in it at its own size.
  const int left = std::max(0, int(box.right - cx) / 2), top = std::max(0, int(box.bottom - cy) / 2);
  int compared = 0, differing = 0;
  for (int y = 0; y < cy && y < box.bottom; ++y) {
    for (int x = 0; x < cx && x < box.right; ++x) {
      const size_t i = size_t(y) * cx + x;
      if (onBlack[i] != onWhite[i]) continue;
      ++compared;
      differing += ::GetPixel(screen, origin.x + left + x, origin.y + top + y) != onBlack[i];
    }
  }
  ::ReleaseDC(nullptr, screen);
  ::DestroyIcon(icon);
  std::printf("info preview %ldx%ld: %d opaque icon pixels compared, %d differ\n", box.right, box.bottom, compared,
              differing);
  Check(compared > 50 && differing == 0, "the preview shows the expected icon");
  return failures ? 1 : 0;
}

// ---- the skinned buttons as drawn ----

// The six buttons of the main window as the screen shows them, one line per
// button ("button <id> <w>x<h>") and one per row of pixels (hex), into <out>.
// With <reference> (the same written by another run, under another code
// page, say), every button must be drawn exactly as there.
int Buttons(HWND dialog, const char* out, const char* reference) {
  Settle(dialog);
  ::Sleep(500);
  std::string text;
  HDC screen = ::GetDC(nullptr);
  for (int id : {1, 2, 1001, 1002, 3, 1007}) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    char line[64];
    std::snprintf(line, sizeof line, "button %d %dx%d\n", id, width, height);
    text += line;
    // One copy of the button into a 32-bit picture rather than a call per pixel.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP picture = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(memory, picture);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int y = 0; y < height && pixels; ++y) {
      for (int x = 0; x < width; ++x) {
        std::snprintf(line, sizeof line, "%06x", unsigned(pixels[size_t(y) * width + x] & 0xFFFFFF));
        text += line;
      }
      text += '\n';
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(picture);
  }
  ::ReleaseDC(nullptr, screen);
  if (FILE* f = _wfopen(Widen(out).c_str(), L"wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  if (!reference) return failures ? 1 : 0;
  std::string expected;
  if (FILE* f = _wfopen(Widen(reference).c_str(), L"rb")) {
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) expected.append(buffer, n);
    std::fclose(f);
  }
  Check(!expected.empty(), "the reference drawing can be read");
  // How far apart they are, for the log.
  size_t differing = 0;
  for (size_t i = 0; i < text.size() && i < expected.size(); ++i) differing += text[i] != expected[i];
  std::printf("info %zu characters of the drawing differ from the reference\n", differing);
  Check(text == expected, "the buttons are drawn exactly as in the reference");
  return failures ? 1 : 0;
}

// ---- timing the open command ----

double Now() {
  LARGE_INTEGER counter, frequency;
  ::QueryPerformanceCounter(&counter);
  ::QueryPerformanceFrequency(&frequency);
  return double(counter.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

// What the program cannot do faster than: open the module as data and walk its groups.
double BareOpen(const char* path) {
  const double start = Now();
  const std::wstring wide = Widen(path);
  HMODULE module = ::LoadLibraryExW(wide.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  int groups = 0;
  if (module) {
    ::EnumResourceNamesW(module, MAKEINTRESOURCEW(14), &CountName, reinterpret_cast<LONG_PTR>(&groups));
    ::FreeLibrary(module);
  }
  const double took = Now() - start;
  Check(groups > 0, "the bare enumeration finds groups");
  return took;
}

struct OpenTimes {
  double dialog = 0;  // from pressing Open until the file dialog is gone
  double whole = 0;   // from pressing Open until the list is filled and the preview set
};

struct DialogWatch {
  HWND window;
  volatile double gone;
};

DWORD WINAPI WatchDialog(void* p) {
  auto* w = static_cast<DialogWatch*>(p);
  const double began = Now();
  while (::IsWindow(w->window) && Now() - began < 30000) ::Sleep(0);
  w->gone = Now();
  return 0;
}

// Browse, type the path, press Open, and time what follows.
OpenTimes TimedOpen(HWND dialog, const char* path) {
  OpenTimes times;
  HWND list = ::GetDlgItem(dialog, 1000), preview = ::GetDlgItem(dialog, 1003);
  const LRESULT before = ::SendMessageW(preview, STM_GETICON, 0, 0);
  Click(dialog, IDOK);
  HWND fileDialog = nullptr;
  for (int i = 0; i < 300 && !fileDialog; ++i) {
    for (HWND window : OtherWindows(dialog))
      if (IsFileDialog(window)) fileDialog = window;
    if (!fileDialog) ::Sleep(50);
  }
  if (!fileDialog || !TypeFileName(fileDialog, path)) {
    Check(false, "the open dialog appears and takes the name");
    return times;
  }
  // The dialog's end is watched from a thread of its own: the asks below
  // wait while the program works, and would see it late.
  DialogWatch watch{fileDialog, 0};
  HANDLE watcher = ::CreateThread(nullptr, 0, &WatchDialog, &watch, 0, nullptr);
  const double start = Now();
  ::PostMessageW(fileDialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(fileDialog, IDOK)));
  for (;;) {
    const LRESULT icon = ::SendMessageW(preview, STM_GETICON, 0, 0);
    if (::SendMessageW(list, LB_GETCOUNT, 0, 0) > 0 && icon && icon != before) break;
    if (Now() - start > 30000) {
      Check(false, "the open finishes within 30 s");
      break;
    }
    // Asking without a pause would keep the program busy answering.
    ::Sleep(1);
  }
  times.whole = Now() - start;
  ::WaitForSingleObject(watcher, 30000);
  ::CloseHandle(watcher);
  times.dialog = watch.gone - start;
  return times;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Alternates the measurements; opening `between` (in the same folder, so
// the dialog need not change folders) makes the module's preview a new icon.
int Bench(HWND dialog, const char* module, const char* between, int rounds) {
  std::vector<double> whole, inDialog, own, bare;
  for (int i = 0; i < rounds; ++i) {
    RunCommandQuietly(dialog, between);
    bare.push_back(BareOpen(module));
    const OpenTimes t = TimedOpen(dialog, module);
    whole.push_back(t.whole);
    inDialog.push_back(t.dialog);
    own.push_back(t.whole - t.dialog);
    std::printf("info round %d: whole %.1f ms, file dialog %.1f ms, program %.1f ms, bare %.1f ms\n", i + 1,
                t.whole, t.dialog, t.whole - t.dialog, bare.back());
  }
  std::printf("median whole %.1f\nmedian dialog %.1f\nmedian program %.1f\nmedian bare %.1f\n", Median(whole),
              Median(inDialog), Median(own), Median(bare));
  return failures ? 1 : 0;
}

}  // namespace probe

using namespace probe;

// What one command leaves behind for the next in a served probe.
void ResetCommandState() {
  failures = 0;
  answerYes = false;
  describeDialogs = true;
  boxLog = nullptr;
}

// One command: argv[1] the command, argv[2] the window title, then its own.
int Dispatch(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: probe serve | probe wait|count|startup|minimised|close <title> [...]\n");
    return 2;
  }
  std::string command = argv[1];
  std::wstring title = Widen(argv[2]);
  if (command == "wait") {
    int ms = argc > 3 ? std::atoi(argv[3]) : 20000;
    for (int waited = 0; waited <= ms; waited += 100) {
      if (!Windows(title).empty()) return 0;
      ::Sleep(100);
    }
    return 1;
  }
  if (command == "codepage") {
    std::printf("%u\n", ::GetACP());
    return 0;
  }
  if (command == "keep-desktop") {
    // Holds the prefix's desktop open (scripts/gui-env.sh): Wine closes it,
    // and ends its explorer.exe, a second after the last thread using it
    // ends, and starts both again for the next program.
    ::GetDesktopWindow();
    // Said once the desktop is held: the scripts wait for it before they
    // start a program whose output they read.
    std::printf("desktop kept\n");
    std::fflush(stdout);
    ::Sleep(INFINITE);
    return 0;
  }
  if (command == "count") {
    std::printf("%zu\n", Windows(title).size());
    return 0;
  }
  if (command == "close") {
    for (HWND window : Windows(title)) ::PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (int result = RunUserCommand(command, argc, argv); result >= 0) return result;
  if (int result = RunHostileCommand(command, argc, argv); result >= 0) return result;
  if (int result = RunInstallCommand(command, argc, argv); result >= 0) return result;
  HWND dialog = MainWindow(title);
  Check(dialog != nullptr, "the window is there");
  if (!dialog) return 1;
  if (command == "startup") return Startup(dialog);
  if (command == "minimised" && argc > 3) return Minimised(dialog, argv[3]);
  if (command == "open" && argc > 3) return Open(dialog, std::string(argv[3]) == "--cancel" ? nullptr : argv[3]);
  if (command == "save" && argc > 3) {
    // save TITLE PATH [FILTER [yes|no]]: the last answers a question before replacing a file.
    answerYes = argc > 5 && std::string(argv[5]) == "yes";
    return Save(dialog, std::string(argv[3]) == "--cancel" ? nullptr : argv[3], argc > 4 ? std::atoi(argv[4]) : 0);
  }
  if (command == "copy" && argc > 3) {
    const bool hold = std::string(argv[3]) == "--held";
    if (hold && argc < 5) return 2;
    return Copy(dialog, argv[hold ? 4 : 3], hold);
  }
  if (command == "select" && argc > 3) return Select(dialog, std::atoi(argv[3]));
  if (command == "click" && argc > 3) {
    Click(dialog, std::atoi(argv[3]));
    return 0;
  }
  if (command == "state") {
    RunCommand(dialog, false, nullptr, 0);
    PrintState(dialog);
    return failures ? 1 : 0;
  }
  if (command == "bench" && argc > 5) return Bench(dialog, argv[3], argv[4], std::atoi(argv[5]));
  if (command == "icon" && argc > 3) return IconShown(dialog, argv[3], argc > 4 ? argv[4] : nullptr);
  if (command == "buttons" && argc > 3) return Buttons(dialog, argv[3], argc > 4 ? argv[4] : nullptr);
  return 2;
}

// "serve": commands from stdin, one a line, their arguments separated by
// U+001F, each answered on stdout by its lines and then "\x01STATUS". The
// test scripts drive a part of the run through one process rather than
// starting one per step (tests/e2e/run.sh).
int Serve(const std::string& self) {
  std::string line;
  for (int c; (c = std::getchar()) != EOF;) {
    if (c != '\n') {
      line.push_back(char(c));
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> args{self};
    for (size_t start = 0;;) {
      const size_t end = line.find('\x1f', start);
      args.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    line.clear();
    std::vector<char*> pointers;
    for (std::string& a : args) pointers.push_back(a.data());
    ResetCommandState();
    const int status = Dispatch(int(pointers.size()), pointers.data());
    std::fflush(stderr);
    std::printf("\x01%d\n", status);
  }
  return 0;
}

int main() {
  // Every line reaches the file at once: a probe that printed nothing did
  // nothing, so the scripts may run it again (tests/e2e/run.sh).
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  // Arguments as UTF-8 whatever the code page: paths may be Chinese.
  int argc = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  if (argc == 2 && args[1] == "serve") {
    // The lines are bytes (UTF-8): no text-mode translation of stdin.
    _setmode(_fileno(stdin), _O_BINARY);
    return Serve(args[0]);
  }
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  return Dispatch(argc, pointers.data());
}
