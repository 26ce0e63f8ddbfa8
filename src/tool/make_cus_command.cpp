// make-cus: writes a custom text from a plain text.
#include <CLI/CLI.hpp>

#include "platform/file_system.h"
#include "support/decoding.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

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
