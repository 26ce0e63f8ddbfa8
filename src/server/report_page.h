// The visual report of one scored part, as the result pages show it: the page that
// `keyin-tool report --format html --output FILE ARGUMENT-STRING` writes for the same argument
// string the scorer was given. The only place the exam room knows that command.
#pragma once

#include <string>

#include "platform/child_process.h"

namespace keyin::server {

// Writes the report to output_path; true when the command succeeded and left the file. A build
// without the command, or a report that fails, leaves the result pages with the scores alone.
bool WriteReportPage(const std::string& tool, const std::string& argument_string,
                     const std::string& output_path, const ChildOptions& options);

}  // namespace keyin::server
