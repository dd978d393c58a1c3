#include <utility>

#include "platform/message_box.h"

namespace pk::platform {

// Implemented by each backend: a real box on Windows, standard error elsewhere.
void ShowDefaultMessage(Owner owner, std::string_view text, std::string_view caption);

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
void* g_mainWindow = nullptr;
}  // namespace

void ShowMessage(Owner owner, std::string_view text, std::string_view caption) {
  if (Sink()) {
    Sink()(owner, text, caption);
    return;
  }
  ShowDefaultMessage(owner, text, caption);
}

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(Sink(), std::move(sink)); }

void SetMainWindow(void* window) { g_mainWindow = window; }
void* MainWindow() { return g_mainWindow; }

}  // namespace pk::platform
