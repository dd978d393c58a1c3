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
// and the commands that act as the user does (probe_input.cpp).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

// The user's commands of probe_input.cpp; -1 for any other command.
int RunUserCommand(const std::string& command, int argc, char** argv);

namespace {

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

// Compares what the minimised window shows with the application icon drawn
// the same way, read from the executable that created the window.
int Minimised(HWND dialog, const char* exePath) {
  ::ShowWindow(dialog, SW_MINIMIZE);
  for (int i = 0; i < 50 && !::IsIconic(dialog); ++i) ::Sleep(100);
  Check(::IsIconic(dialog) != 0, "the window minimises");
  ::Sleep(1000);
  RECT client{};
  ::GetClientRect(dialog, &client);
  POINT origin{0, 0};
  ::ClientToScreen(dialog, &origin);
  int width = client.right, height = client.bottom;
  std::printf("info minimised client %dx%d at %ld,%ld\n", width, height, origin.x, origin.y);

  HMODULE exe = ::LoadLibraryExA(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
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
    int compared = 0, differing = 0;
    for (int j = 0; j < cy; ++j) {
      for (int i = 0; i < cx; ++i) {
        COLORREF want = ::GetPixel(memory, i, j);
        if (want == RGB(255, 0, 255)) continue;
        // Only pixels that no alpha blending touched compare exactly.
        ++compared;
        if (::GetPixel(screen, origin.x + x + i, origin.y + y + j) != want) ++differing;
      }
    }
    std::printf("info %d icon pixels compared, %d differ\n", compared, differing);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: probe wait|count|startup|minimised|close <title> [...]\n");
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
  if (command == "count") {
    std::printf("%zu\n", Windows(title).size());
    return 0;
  }
  if (command == "close") {
    for (HWND window : Windows(title)) ::PostMessageW(window, WM_CLOSE, 0, 0);
    return 0;
  }
  if (int result = RunUserCommand(command, argc, argv); result >= 0) return result;
  HWND dialog = MainWindow(title);
  Check(dialog != nullptr, "the window is there");
  if (!dialog) return 1;
  if (command == "startup") return Startup(dialog);
  if (command == "minimised" && argc > 3) return Minimised(dialog, argv[3]);
  return 2;
}
