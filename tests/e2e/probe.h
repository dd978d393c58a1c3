// What the probe's command files share; probe.cpp defines it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace probe {

// A message box as the probe read it before pressing its OK button.
struct SeenBox {
  std::string caption;  // UTF-8
  std::string text;
  bool plain;  // one OK button and no icon
};

// Checks that failed so far (each printed as a FAIL line).
extern int failures;
// Prints "ok <what>" or "FAIL <what>" (and counts the failure).
void Check(bool ok, const char* what);
// False: file dialogs are answered without printing their description.
extern bool describeDialogs;
// When set, boxes are recorded here instead of printed.
extern std::vector<SeenBox>* boxLog;

std::wstring Widen(const char* text);
std::string Narrow(const std::wstring& text);
// The first visible top-level window titled `title`.
HWND MainWindow(const std::wstring& title);
// The visible dialogs of the window's process other than the window itself.
// (hidden: how many it owns that are made but not shown yet)
std::vector<HWND> OtherWindows(HWND dialog, int* hidden = nullptr);
bool IsFileDialog(HWND window);
// Reads a message box, checks it, presses OK.
void ReadAndDismissBox(HWND box);
// Runs until the program is idle again, answering file dialogs with `path`
// and dismissing boxes.
void RunCommand(HWND dialog, bool expectFileDialog, const char* path, int filter);
void Click(HWND dialog, int id);
void Check(bool ok, const char* what);
// Prints the list, the buttons' states and whether the preview shows an icon.
void PrintState(HWND dialog);

}  // namespace probe

// The hostile-corpus commands; -1 for any other command.
int RunHostileCommand(const std::string& command, int argc, char** argv);

// The installer tests' commands; -1 for any other command.
int RunInstallCommand(const std::string& command, int argc, char** argv);
