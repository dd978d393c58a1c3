// Messages as real boxes: MessageBoxA with a single OK button, owned by the
// main window when one is asked for.
#include <windows.h>

#include <string>

#include "platform/common/message_box_backend.h"
#include "platform/main_window.h"

namespace pk::platform {

void ShowDefaultMessage(Owner owner, std::string_view text, std::string_view caption) {
  HWND window = owner == Owner::MainWindow ? static_cast<HWND>(MainWindow()) : nullptr;
  MessageBoxA(window, std::string(text).c_str(), std::string(caption).c_str(), MB_OK);
}

}  // namespace pk::platform
