// The subcommands of keyin-tool. Each file <name>_command.cpp adds one subcommand to the app with
// its options and its work; main.cpp calls every Add function once. A new subcommand is a new
// file and one line in main.cpp.
#pragma once

namespace CLI {
class App;
}

namespace keyin::tool {

void AddInitDbCommand(CLI::App& app);
void AddLibReadCommand(CLI::App& app);
void AddMakeLibCommand(CLI::App& app);
void AddMakeCusCommand(CLI::App& app);
void AddTopMethodCommand(CLI::App& app);
void AddUsageReportCommand(CLI::App& app);
void AddMaintenanceCommand(CLI::App& app);
void AddCopyResultsCommand(CLI::App& app);
void AddResultsCommand(CLI::App& app);
void AddReportCommand(CLI::App& app);
void AddRescoreCommand(CLI::App& app);
void AddAccountsCommand(CLI::App& app);
void AddBackupCommands(CLI::App& app);  // backup and restore
void AddCodesCommand(CLI::App& app);
void AddDrillCommand(CLI::App& app);

}  // namespace keyin::tool
