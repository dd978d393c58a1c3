#include <utility>

#include "platform/common/message_box_backend.h"
#include "platform/message_box.h"

namespace pk::platform {

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
}  // namespace

void ShowMessage(Owner owner, std::string_view text, std::string_view caption) {
  if (Sink()) {
    Sink()(owner, text, caption);
    return;
  }
  ShowDefaultMessage(owner, text, caption);
}

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(Sink(), std::move(sink)); }

}  // namespace pk::platform
