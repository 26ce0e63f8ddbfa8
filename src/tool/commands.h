// The subcommands of keyin-tool. Each returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace keyin::tool {

// Adds the copy-results subcommand, which runs and ends the program with its exit status.
void AddCopyResults(CLI::App& app);

int InitDb(bool force);
int LibRead(const std::string& file, const std::string& part);
int MakeLib(const std::string& part1_file, const std::string& part2_file,
            const std::string& out_file);
int MakeCus(const std::string& text_file, const std::string& out_file);

// Lines of a UTF-8 text file: a line ends at LF, a CR before it is dropped, and a final empty
// piece after the last line end is not a line. Throws FileError.
std::vector<std::u16string> ReadUtf8Lines(const std::string& path);

// "keyin-tool: <description>" on standard error.
void Complain(const std::string& description);

// The most used input method of the record files that the 16-field argument string selects,
// printed as UTF-8. 0 when it was found (or nothing was recorded), 1 after a failure (the
// message box has said why), 2 for an argument string that is not 16 fields.
int TopMethod(const std::string& argument_string, const std::string& part);
// Writes KeyinDetial.txt and copies it into the mode folder: 0 when done, 1 when not, 2 for an
// argument string that is not 16 fields.
int UsageReport(const std::string& argument_string);
// The maintenance commands, in button order.
const std::vector<std::string>& MaintenanceCommandNames();
// One maintenance command on the 14-field command line: 0 when done, 2 for a command line the
// form refuses (nothing written), 3 for a missing database, 1 for any other failure.
int Maintenance(const std::string& command_line, const std::string& command);

}  // namespace keyin::tool
