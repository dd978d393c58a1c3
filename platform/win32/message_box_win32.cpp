// Messages as real boxes: MessageBoxW with a single OK button (Yes and No
// for a question), owned by the main window when one is asked for, every
// part converted by what it is.
#include <windows.h>

#include "platform/common/message_box_backend.h"
#include "platform/main_window.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {

namespace {

int ShowBox(Owner owner, const Message& message, UINT buttons) {
  HWND window = owner == Owner::MainWindow ? static_cast<HWND>(MainWindow()) : nullptr;
  const std::wstring text = win32::WideFromUtf8(message.pathBeforeText) + win32::WideFromGbk(message.text);
  const std::wstring caption =
      message.captionIsPath ? win32::WideFromUtf8(message.caption) : win32::WideFromGbk(message.caption);
  return MessageBoxW(window, text.c_str(), caption.c_str(), buttons);
}

}  // namespace

void ShowDefaultMessage(Owner owner, const Message& message) { ShowBox(owner, message, MB_OK); }

bool AskDefaultQuestion(Owner owner, const Message& question) {
  return ShowBox(owner, question, MB_YESNO | MB_DEFBUTTON2) == IDYES;
}

}  // namespace pk::platform
