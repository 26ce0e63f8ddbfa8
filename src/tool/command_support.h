// What the subcommands of keyin-tool share.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"

namespace CLI {
class App;
}

namespace keyin::tool {

// The value the command line gave the option (or positional argument) of the subcommand.
std::string ValueOf(const CLI::App* command, const std::string& option);

// Makes `work` what the subcommand does once its command line has been read; what `work`
// returns is the exit status of keyin-tool. A failure that `work` lets through ends it with one
// stderr line and exit status 1.
void OnRun(CLI::App* command, std::function<int()> work);

// "keyin-tool: <description>" on standard error.
void Complain(const std::string& description);

// Writes the whole output: to standard output when `output` is empty or "-", otherwise to a
// temporary file beside `output` that is renamed over it once complete, so that a failure leaves
// no partial file and a reader never sees one. Throws FileError.
void WriteOutput(const std::string& output, std::string_view bytes);

// The option --output FILE of a command that writes through WriteOutput.
void AddOutputOption(CLI::App* command, std::string& output);
// The extension of the output file's name in lower case (".json"), or "" when it has none.
std::string OutputExtension(const std::string& output);

// Lines of a UTF-8 text file: a line ends at LF, a CR before it is dropped, and a final empty
// piece after the last line end is not a line. Throws FileError.
std::vector<std::u16string> ReadUtf8Lines(const std::string& path);

// The work of a subcommand on the run parameters of its --run option.
using RunParamsWork = std::function<int(const CLI::App& command, const RunParams& params,
                                        const PathTranslator& paths, MessageSink& messages)>;

// Adds a subcommand with the required option --run, the 16 comma-separated run parameters, and
// makes `work` what it does with them, the program folder's paths and messages on the console.
// Exit status 2 after a complaint when --run is refused, 1 after one when `work` throws,
// otherwise what `work` returns.
CLI::App* AddRunParamsCommand(CLI::App& app, std::string name, std::string description,
                              RunParamsWork work);

}  // namespace keyin::tool
