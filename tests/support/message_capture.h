// Captures every message the codec would show, without a window.
#pragma once

#include <string>
#include <vector>

#include "platform/message_box.h"

namespace pk::test {

struct CapturedMessage {
  platform::Owner owner;
  std::string text;
  std::string caption;
};

class MessageCapture {
 public:
  MessageCapture() {
    previous_ = platform::SetMessageSink([this](platform::Owner owner, std::string_view text,
                                                std::string_view caption) {
      messages.push_back({owner, std::string(text), std::string(caption)});
    });
  }
  ~MessageCapture() { platform::SetMessageSink(std::move(previous_)); }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  // The one message shown, or "" when there was none (or more than one).
  std::string Only() const { return messages.size() == 1 ? messages[0].text : std::string(); }

  std::vector<CapturedMessage> messages;

 private:
  platform::MessageSink previous_;
};

}  // namespace pk::test
