// make-lib: writes a test-paper library file from two plain texts.
#include <CLI/CLI.hpp>
#include <memory>

#include "platform/file_system.h"
#include "support/library.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddMakeLibCommand(CLI::App& app) {
  struct Options {
    std::string part1_file, part2_file, out_file;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "make-lib", "Write a test-paper library file from two UTF-8 texts, one line per line");
  command->add_option("--part1", options->part1_file, "UTF-8 text of test 1")->required();
  command->add_option("--part2", options->part2_file, "UTF-8 text of test 2")->required();
  command->add_option("OUT", options->out_file, "The .LIB file to write")->required();
  OnRun(command, [options] {
    // Encoded whole before anything is written, so a refused line leaves no file behind.
    const std::string bytes =
        EncodeLibFile(ReadUtf8Lines(options->part1_file), ReadUtf8Lines(options->part2_file));
    WriteWholeFile(options->out_file, bytes);
    return 0;
  });
}

}  // namespace keyin::tool
