// The application object and the program's entry point. The program defines
// one global object of a class derived from CWinApp; the framework's WinMain
// finds it, names it and calls InitInstance.
#pragma once

#include <windows.h>

#include <string>

#include "framework/gdi.h"

class CWnd;

class CWinApp {
 public:
  // `appName` null: the name comes from the resources' string 57344 or, where
  // that is absent, from the executable's file name.
  explicit CWinApp(const char* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // The message loop, for programs whose InitInstance returns true.
  virtual int Run();
  // The help command. No help file ships with the program, so it does nothing.
  virtual void OnHelp() {}

  // Every dialog of the program paints its face, its texts and its buttons on
  // `background` with `text`. Throws std::bad_alloc when no brush can be made.
  void SetDialogBkColor(COLORREF background = RGB(192, 192, 192), COLORREF text = RGB(0, 0, 0));
  HBRUSH DialogBackgroundBrush() const { return dialogBrush_; }
  COLORREF DialogBackgroundColor() const { return dialogBackground_; }
  COLORREF DialogTextColor() const { return dialogText_; }

  // Asked for three-dimensional control painting. Windows has drawn dialog
  // controls in 3D by itself since Windows 95, so there is nothing to do.
  BOOL Enable3dControlsStatic() { return TRUE; }

  // Fills m_hInstance and the application name; called by WinMain (and by
  // tests that run without it). `commandLine`: the arguments, UTF-8.
  void Startup(HINSTANCE instance, const char* commandLine, int showCommand);

  // The application's name and the arguments, UTF-8.
  const char* m_pszAppName = nullptr;
  HINSTANCE m_hInstance = nullptr;
  const char* m_lpCmdLine = "";
  int m_nCmdShow = SW_SHOWNORMAL;
  CWnd* m_pMainWnd = nullptr;

 private:
  std::string appName_;
  bool nameGiven_;
  CBrush dialogBrushOwner_;
  HBRUSH dialogBrush_ = nullptr;
  COLORREF dialogBackground_ = 0;
  COLORREF dialogText_ = 0;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();

// The name the framework gives the application for an executable path: the
// file name without its directory and without the extension after the last dot.
std::string AppNameFromPath(const std::string& path);

// The arguments of a whole command line (UTF-8): what follows the program's
// name (quoted or not) and the blanks after it.
const char* CommandLineArguments(const char* commandLine);

// Shows the busy cursor for one scope and restores the previous cursor after it.
class CWaitCursor {
 public:
  CWaitCursor() : previous_(::SetCursor(::LoadCursorA(nullptr, IDC_WAIT))) {}
  ~CWaitCursor() { ::SetCursor(previous_); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

 private:
  HCURSOR previous_;
};
