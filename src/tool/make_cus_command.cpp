// make-cus: writes a custom text from a plain text.
#include <CLI/CLI.hpp>
#include <stdexcept>

#include "platform/file_system.h"
#include "support/decoding.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

// The .cus bytes of the lines; throws naming the first line that does not encode and read back.
std::string EncodeCustomText(const std::vector<std::u16string>& lines) {
  std::string bytes;
  int number = 0;
  for (const std::u16string& line : lines) {
    const std::string where = "line " + std::to_string(++number);
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
  return bytes;
}

}  // namespace

void AddMakeCusCommand(CLI::App& app) {
  CLI::App* command =
      app.add_subcommand("make-cus", "Write a custom text (.cus) from a UTF-8 text");
  command->add_option("TEXT", "UTF-8 text, one line per line")->required();
  command->add_option("OUT", "The .cus file to write")->required();
  OnRun(command, [command] {
    WriteWholeFile(ValueOf(command, "OUT"),
                   EncodeCustomText(ReadUtf8Lines(ValueOf(command, "TEXT"))));
    return 0;
  });
}

}  // namespace keyin::tool
