// The one way the codec tells the user something: a box with a single OK
// button, no icon, the message as text and (for the codec) the file path as
// caption. Texts are 8-bit ANSI (GBK for the program's Chinese messages).
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pk::platform {

enum class Owner {
  None,        // a box without an owner window
  MainWindow,  // owned by the application's main window, when there is one
};

void ShowMessage(Owner owner, std::string_view text, std::string_view caption);

// Where messages go instead of a box: tests capture them, the command line
// prints them. Returns the previous sink; an empty sink restores the default
// (a real message box on Windows, standard error elsewhere).
using MessageSink = std::function<void(Owner, std::string_view text, std::string_view caption)>;
MessageSink SetMessageSink(MessageSink sink);

// The application's main window (an HWND on Windows), owner of Owner::MainWindow
// boxes and of the clipboard while it is open. Null until the GUI sets it.
void SetMainWindow(void* window);
void* MainWindow();

// Prints "caption: text" on standard error for a terminal: the text converted
// from the program's code page, the caption (a path) as the system spells it.
void PrintMessage(std::string_view text, std::string_view caption);

// Converts text in the program's 8-bit code page (GBK) to the terminal's
// character set, for printing. Text that does not convert is passed through.
std::string ConsoleText(std::string_view gbk);

}  // namespace pk::platform
