#include <utility>

#include "platform/common/message_box_backend.h"
#include "platform/message_box.h"

namespace pk::platform {

namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
QuestionSink& Questions() {
  static QuestionSink sink;
  return sink;
}
}  // namespace

void ShowMessage(Owner owner, const Message& message) {
  if (Sink()) {
    Sink()(owner, message);
    return;
  }
  ShowDefaultMessage(owner, message);
}

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(Sink(), std::move(sink)); }

bool AskYesNo(Owner owner, const Message& question) {
  return Questions() ? Questions()(owner, question) : AskDefaultQuestion(owner, question);
}

QuestionSink SetQuestionSink(QuestionSink sink) { return std::exchange(Questions(), std::move(sink)); }

}  // namespace pk::platform
