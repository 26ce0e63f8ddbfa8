// Message boxes. The run shows its messages through a MessageSink so that the core stays free
// of the terminal and tests can record what would have been shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keyin {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the text (and the title, when not empty) and returns once it is acknowledged.
  virtual void Show(std::u16string_view text, std::u16string_view title) = 0;
};

// Writes the title and the text to standard error as one block ending in a newline; waits for
// Enter only when standard input is a terminal.
class ConsoleMessageSink final : public MessageSink {
 public:
  void Show(std::u16string_view text, std::u16string_view title) override;
};

// Keeps what was shown, for tests.
class RecordingMessageSink final : public MessageSink {
 public:
  struct Message {
    std::u16string text;
    std::u16string title;
  };
  void Show(std::u16string_view text, std::u16string_view title) override {
    shown.push_back({std::u16string(text), std::u16string(title)});
  }
  std::vector<Message> shown;
};

// One line "keyin-scorer: <description>" (or the given program name) on standard error.
void ReportFailureLine(std::string_view program, std::string_view description);

}  // namespace keyin
