// Without a window system, a message is printed as "caption: text" on
// standard error, the text converted from GBK to the terminal's character set.
#include "platform/common/message_box_backend.h"
#include "platform/console_text.h"

namespace pk::platform {

void ShowDefaultMessage(Owner, std::string_view text, std::string_view caption) { PrintMessage(text, caption); }

}  // namespace pk::platform
