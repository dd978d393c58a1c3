// What each backend supplies behind ShowMessage when no sink is installed:
// a real box on Windows, a line on standard error elsewhere.
#pragma once

#include "platform/message_box.h"

namespace pk::platform {

void ShowDefaultMessage(Owner owner, const Message& message);
bool AskDefaultQuestion(Owner owner, const Message& question);

}  // namespace pk::platform
