// lib-read: prints one test of a test-paper library file.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/code_page.h"
#include "support/library.h"
#include "support/text.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

// Shows messages on the console and remembers that one was shown, so that lib-read can tell a
// failed read from a paper that is empty.
class CountingConsoleSink final : public MessageSink {
 public:
  void Show(std::u16string_view text, std::u16string_view title) override {
    ++count;
    console_.Show(text, title);
  }
  int count = 0;

 private:
  ConsoleMessageSink console_;
};

int LibRead(const std::string& file, const std::string& part) {
  CountingConsoleSink messages;
  GetLibState state;
  Get_Lib(file, Utf8ToUtf16(file), Utf8ToUtf16(part), state, messages);
  std::vector<std::u16string> lines = SplitText(state.LibText, u"\r\n");
  lines.pop_back();  // nothing follows the last CR LF
  std::string output;
  for (const std::u16string& line : lines) output += Utf16ToUtf8(line) + "\n";
  std::cout << output;
  return messages.count == 0 ? 0 : 1;
}

}  // namespace

void AddLibReadCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "lib-read", "Print one test of a test-paper library file (.LIB) as UTF-8 text");
  command->add_option("FILE", "The .LIB file")->required();
  command->add_option("PART", "\"1\" or \"2\" for one test, anything else for both")->required();
  OnRun(command, [command] { return LibRead(ValueOf(command, "FILE"), ValueOf(command, "PART")); });
}

}  // namespace keyin::tool
