#include "platform/message_box.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/code_page.h"

namespace keyin {

void ConsoleMessageSink::Show(std::u16string_view text, std::u16string_view title) {
  std::string block;
  if (!title.empty()) block += Utf16ToUtf8(title) + "\n";
  block += Utf16ToUtf8(text) + "\n";
  std::fwrite(block.data(), 1, block.size(), stderr);
  std::fflush(stderr);
  // Only a person at a terminal acknowledges a message; a pipe or /dev/null never blocks a run.
  if (::isatty(STDIN_FILENO) == 1) {
    std::string ignored;
    std::getline(std::cin, ignored);
  }
}

void ReportFailureLine(std::string_view program, std::string_view description) {
  std::string line = std::string(program) + ": " + std::string(description) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace keyin
