// Writing and reading test papers: the library file (.LIB) and the custom text (.cus).
#include <iostream>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "support/decoding.h"
#include "support/library.h"
#include "support/text.h"
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

}  // namespace

std::vector<std::u16string> ReadUtf8Lines(const std::string& path) {
  std::u16string text = Utf8ToUtf16(ReadWholeFile(path));
  std::vector<std::u16string> lines = SplitText(text, u"\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (std::u16string& line : lines) {
    if (!line.empty() && line.back() == u'\r') line.pop_back();
  }
  return lines;
}

void Complain(const std::string& description) { ReportFailureLine("keyin-tool", description); }

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

int MakeLib(const std::string& part1_file, const std::string& part2_file,
            const std::string& out_file) {
  try {
    std::string bytes = EncodeLibFile(ReadUtf8Lines(part1_file), ReadUtf8Lines(part2_file));
    WriteWholeFile(out_file, bytes);
    return 0;
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return 1;
  }
}

int MakeCus(const std::string& text_file, const std::string& out_file) {
  try {
    std::string bytes;
    int number = 0;
    for (const std::u16string& line : ReadUtf8Lines(text_file)) {
      std::string where = "line " + std::to_string(++number);
      std::u16string encoded;
      try {
        encoded = EncryptLine(line);
      } catch (const std::exception& failure) {
        throw std::runtime_error(where + ": " + failure.what());
      }
      RecordingMessageSink silent;
      if (Decrypt(encoded, silent) != line || !silent.shown.empty()) {
        throw std::runtime_error(where + " does not decode back");
      }
      bytes += CV2BExact(encoded, where) + "\r\n";
    }
    WriteWholeFile(out_file, bytes);
    return 0;
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return 1;
  }
}

}  // namespace keyin::tool
