// make-lib: writes a test-paper library file from two plain texts.
#include <CLI/CLI.hpp>

#include "platform/file_system.h"
#include "support/library.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddMakeLibCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "make-lib", "Write a test-paper library file from two UTF-8 texts, one line per line");
  command->add_option("--part1", "UTF-8 text of test 1")->required();
  command->add_option("--part2", "UTF-8 text of test 2")->required();
  command->add_option("OUT", "The .LIB file to write")->required();
  OnRun(command, [command] {
    // Encoded whole before anything is written, so a refused line leaves no file behind.
    const std::string bytes = EncodeLibFile(ReadUtf8Lines(ValueOf(command, "--part1")),
                                            ReadUtf8Lines(ValueOf(command, "--part2")));
    WriteWholeFile(ValueOf(command, "OUT"), bytes);
    return 0;
  });
}

}  // namespace keyin::tool
