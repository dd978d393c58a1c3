// The application's main window (an HWND on Windows): the owner of
// Owner::MainWindow message boxes and of the clipboard while it is open.
// Null until the GUI sets it, and again once the window is gone.
#pragma once

namespace pk::platform {

void SetMainWindow(void* window);
void* MainWindow();

}  // namespace pk::platform
