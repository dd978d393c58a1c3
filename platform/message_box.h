// The one way the codec tells the user something: a box with a single OK
// button, no icon, the message as text and (for the codec) the file path as
// caption. Texts are 8-bit ANSI (GBK for the program's Chinese messages).
#pragma once

#include <functional>
#include <string_view>

namespace pk::platform {

enum class Owner {
  None,        // a box without an owner window
  MainWindow,  // owned by the application's main window (platform/main_window.h)
};

void ShowMessage(Owner owner, std::string_view text, std::string_view caption);

// Where messages go instead of a box: tests capture them, the command line
// prints them. Returns the previous sink; an empty sink restores the default
// (a real message box on Windows, standard error elsewhere).
using MessageSink = std::function<void(Owner, std::string_view text, std::string_view caption)>;
MessageSink SetMessageSink(MessageSink sink);

}  // namespace pk::platform
