// Text for a terminal: the program's 8-bit messages (GBK) converted to the
// terminal's character set.
#pragma once

#include <string>
#include <string_view>

namespace pk::platform {

// Prints "caption: text" on standard error: the text converted from the
// program's code page, the caption (a path) as the system spells it.
void PrintMessage(std::string_view text, std::string_view caption);

// Converts text in the program's 8-bit code page (GBK) to the terminal's
// character set. Text that does not convert is passed through.
std::string ConsoleText(std::string_view gbk);

}  // namespace pk::platform
