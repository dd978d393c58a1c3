#include "platform/arguments.h"

namespace pk::platform {

std::vector<std::string> ProgramArguments(int argc, char** argv) { return {argv, argv + argc}; }

}  // namespace pk::platform
