#include "framework/win_app.h"

#include <new>

#include "framework/wnd.h"
#include "platform/win32/wide_text.h"

namespace {

CWinApp* theApp = nullptr;

// The framework's application-title string.
constexpr UINT kAppTitleString = 57344;

std::string ModulePath(HINSTANCE instance) {
  return pk::win32::Utf8FromWide(pk::win32::ModuleFileName(instance));
}

}  // namespace

CWinApp::CWinApp(const char* appName) : nameGiven_(appName != nullptr) {
  if (appName) {
    appName_ = appName;
    m_pszAppName = appName_.c_str();
  }
  theApp = this;
}

CWinApp::~CWinApp() {
  if (theApp == this) theApp = nullptr;
}

CWinApp* AfxGetApp() { return theApp; }

HINSTANCE AfxGetInstanceHandle() {
  if (theApp && theApp->m_hInstance) return theApp->m_hInstance;
  return ::GetModuleHandleA(nullptr);
}

HINSTANCE AfxGetResourceHandle() { return AfxGetInstanceHandle(); }

std::string AppNameFromPath(const std::string& path) {
  size_t slash = path.find_last_of("\\/:");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

void CWinApp::Startup(HINSTANCE instance, const char* commandLine, int showCommand) {
  m_hInstance = instance;
  m_lpCmdLine = commandLine ? commandLine : "";
  m_nCmdShow = showCommand;
  if (nameGiven_) return;
  wchar_t title[256];
  int length = ::LoadStringW(instance, kAppTitleString, title, 256);
  appName_ = length > 0 ? pk::win32::Utf8FromWide(std::wstring_view(title, size_t(length)))
                        : AppNameFromPath(ModulePath(instance));
  m_pszAppName = appName_.c_str();
}

int CWinApp::Run() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return ExitInstance();
}

void CWinApp::SetDialogBkColor(COLORREF background, COLORREF text) {
  CBrush brush(background);
  if (!brush.GetSafeHandle()) throw std::bad_alloc();
  dialogBrushOwner_ = std::move(brush);
  dialogBrush_ = dialogBrushOwner_;
  dialogBackground_ = background;
  dialogText_ = text;
}

const char* CommandLineArguments(const char* line) {
  if (!line) return "";
  // UTF-8 has no byte of a quote or blank inside a character, so a byte walk
  // is safe.
  bool quoted = false;
  while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

// The entry point lives beside CWinApp so that linking any program that
// defines an application object brings it in.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
  CWinApp* app = AfxGetApp();
  if (!app) return -1;
  // From the wide command line: the runtime's lpCmdLine is in the ANSI code
  // page, which loses every name outside it.
  static const std::string wholeLine = pk::win32::Utf8FromWide(::GetCommandLineW());
  app->Startup(instance, CommandLineArguments(wholeLine.c_str()), showCommand);
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}
