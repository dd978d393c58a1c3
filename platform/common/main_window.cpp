#include "platform/main_window.h"

namespace pk::platform {

namespace {
void* g_mainWindow = nullptr;
}  // namespace

void SetMainWindow(void* window) { g_mainWindow = window; }
void* MainWindow() { return g_mainWindow; }

}  // namespace pk::platform
