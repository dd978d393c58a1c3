// Text for a terminal: the program's 8-bit messages (GBK) and file paths
// converted to the terminal's character set.
#pragma once

#include <string>
#include <string_view>

#include "platform/message_box.h"

namespace pk::platform {

// Prints a message on standard error as "caption: text", each part
// converted by what it is.
void PrintMessage(const Message& message);

// Converts text in the program's 8-bit code page (GBK) to the terminal's
// character set. Text that does not convert is passed through.
std::string ConsoleText(std::string_view gbk);

// A file path as the terminal shows it: POSIX terminals get the name's own
// bytes; a Windows console gets the UTF-8 name in its code page, a character
// the code page lacks becoming '?'.
std::string ConsoleName(std::string_view path);

}  // namespace pk::platform
