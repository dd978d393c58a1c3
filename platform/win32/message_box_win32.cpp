// Messages as real boxes: MessageBoxW with a single OK button, owned by the
// main window when one is asked for, every part converted by what it is.
#include <windows.h>

#include "platform/common/message_box_backend.h"
#include "platform/main_window.h"
#include "platform/win32/wide_text.h"

namespace pk::platform {

void ShowDefaultMessage(Owner owner, const Message& message) {
  HWND window = owner == Owner::MainWindow ? static_cast<HWND>(MainWindow()) : nullptr;
  const std::wstring text = win32::WideFromUtf8(message.pathBeforeText) + win32::WideFromGbk(message.text);
  const std::wstring caption =
      message.captionIsPath ? win32::WideFromUtf8(message.caption) : win32::WideFromGbk(message.caption);
  MessageBoxW(window, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace pk::platform
