// Captures every message the codec would show, without a window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace pk::test {

struct CapturedMessage {
  platform::Owner owner;
  std::string text;  // a path put in front of the words included
  std::string caption;
  bool captionIsPath;
};

class MessageCapture {
 public:
  MessageCapture() {
    previous_ = platform::SetMessageSink([this](platform::Owner owner, const platform::Message& message) {
      messages.push_back({owner, std::string(message.pathBeforeText) + std::string(message.text),
                          std::string(message.caption), message.captionIsPath});
      if (onShow) onShow();
    });
  }
  ~MessageCapture() { platform::SetMessageSink(std::move(previous_)); }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  // The one message shown, or "" when there was none (or more than one).
  std::string Only() const { return messages.size() == 1 ? messages[0].text : std::string(); }

  std::vector<CapturedMessage> messages;
  // Runs while each message is "on screen", to look at what the program left meanwhile.
  std::function<void()> onShow;

 private:
  platform::MessageSink previous_;
};

}  // namespace pk::test
