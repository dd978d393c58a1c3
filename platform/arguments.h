// The arguments a program was started with, paths among them, as the program
// keeps text: UTF-8. POSIX systems hand them over as they are; Windows gives
// them from the wide command line, so that a name the ANSI code page lacks
// arrives whole.
#pragma once

#include <string>
#include <vector>

namespace pk::platform {

// The program's name first, then each argument.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace pk::platform
