// keyin-tool results: lists, exports and charts the stored results for teachers.
#pragma once

#include <CLI/CLI.hpp>

namespace keyin::tool {

// Adds the subcommand to `app`; when it runs, `exit_status` receives its exit status.
void RegisterResultsCommand(CLI::App& app, int& exit_status);

}  // namespace keyin::tool
