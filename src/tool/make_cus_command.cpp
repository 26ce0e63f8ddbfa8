// make-cus: writes a custom text from a plain text.
#include <CLI/CLI.hpp>
#include <memory>
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
  struct Options {
    std::string text_file, out_file;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command =
      app.add_subcommand("make-cus", "Write a custom text (.cus) from a UTF-8 text");
  command->add_option("TEXT", options->text_file, "UTF-8 text, one line per line")->required();
  command->add_option("OUT", options->out_file, "The .cus file to write")->required();
  OnRun(command, [options] {
    WriteWholeFile(options->out_file, EncodeCustomText(ReadUtf8Lines(options->text_file)));
    return 0;
  });
}

}  // namespace keyin::tool
