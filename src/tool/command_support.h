// What the subcommands of keyin-tool share.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"

namespace CLI {
class App;
}

namespace keyin::tool {

// Makes `work` what the subcommand does once its command line has been read; what `work`
// returns is the exit status of keyin-tool. A failure that `work` lets through ends it with one
// stderr line and exit status 1.
void OnRun(CLI::App* command, std::function<int()> work);

// "keyin-tool: <description>" on standard error.
void Complain(const std::string& description);

// Lines of a UTF-8 text file: a line ends at LF, a CR before it is dropped, and a final empty
// piece after the last line end is not a line. Throws FileError.
std::vector<std::u16string> ReadUtf8Lines(const std::string& path);

// Runs `work` with the run parameters of a 16-field argument string, the program folder's paths
// and messages on the console: 2 after a complaint when the string is refused, 1 after one when
// `work` throws, otherwise what `work` returns.
int WithRunParams(
    const std::string& argument_string,
    const std::function<int(const RunParams&, const PathTranslator&, MessageSink&)>& work);

}  // namespace keyin::tool
