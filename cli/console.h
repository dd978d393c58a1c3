// Standard error shared by the workers of a run and its progress line: every
// line printed goes out whole, with the progress line moved out of its way.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pk::cli {

// Prints `line` and a newline on standard error.
void PrintError(std::string_view line);

// Runs `print`, which writes whole lines to standard error, with the progress
// line (if one is shown) cleared before and drawn again after.
void PrintAbove(const std::function<void()>& print);

// True when standard error is a terminal.
bool StandardErrorIsTerminal();

// Draws `text` as the progress line (carriage return, text, rest of the line cleared).
void ShowProgressLine(const std::string& text);
// Clears the progress line for good.
void EndProgressLine();

}  // namespace pk::cli
