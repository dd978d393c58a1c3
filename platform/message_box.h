// The one way the program tells the user something: a box with a single OK
// button and no icon. A message's words are the program's own, GBK byte
// strings; file paths are UTF-8, as the program keeps every path. The codec
// captions its messages with the file's path; the main window's commands
// caption theirs with a word of their own ("错误"), and one of them puts the
// path in front of its words.
#pragma once

#include <functional>
#include <string_view>

namespace pk::platform {

enum class Owner {
  None,        // a box without an owner window
  MainWindow,  // owned by the application's main window (platform/main_window.h)
};

struct Message {
  std::string_view text;  // the program's words
  std::string_view caption;
  bool captionIsPath = true;  // false: the caption is the program's words too
  std::string_view pathBeforeText = {};
};

void ShowMessage(Owner owner, const Message& message);

// A question in the same parts, with Yes and No (No the default, so that Enter
// changes nothing); true when the answer is Yes.
bool AskYesNo(Owner owner, const Message& question);

// A codec message: the program's words, captioned with the file's path.
inline void ShowMessage(Owner owner, std::string_view text, std::string_view path) {
  ShowMessage(owner, Message{.text = text, .caption = path});
}

// Where messages go instead of a box: tests capture them, the command line
// prints them. Returns the previous sink; an empty sink restores the default
// (a real message box on Windows, standard error elsewhere).
using MessageSink = std::function<void(Owner, const Message&)>;
MessageSink SetMessageSink(MessageSink sink);

// Where questions go instead of a box: tests answer them. An empty sink
// restores the default (a real box on Windows, No elsewhere).
using QuestionSink = std::function<bool(Owner, const Message&)>;
QuestionSink SetQuestionSink(QuestionSink sink);

}  // namespace pk::platform
