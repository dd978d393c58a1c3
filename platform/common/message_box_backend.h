// What each backend supplies behind ShowMessage when no sink is installed:
// a real box on Windows, a line on standard error elsewhere.
#pragma once

#include <string_view>

#include "platform/message_box.h"

namespace pk::platform {

void ShowDefaultMessage(Owner owner, std::string_view text, std::string_view caption);

}  // namespace pk::platform
