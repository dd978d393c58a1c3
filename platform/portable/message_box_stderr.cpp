// Without a window system, a message is printed as "caption: text" on
// standard error, the program's words converted to the terminal's character set.
#include "platform/common/message_box_backend.h"
#include "platform/console_text.h"

namespace pk::platform {

void ShowDefaultMessage(Owner, const Message& message) { PrintMessage(message); }

// Nobody can answer: the question is printed and taken as No, which changes nothing.
bool AskDefaultQuestion(Owner, const Message& question) {
  PrintMessage(question);
  return false;
}

}  // namespace pk::platform
