// keyin-tool: installing the databases, building and reading test papers, the reports of scored
// parts and stored results, and the operations that no scoring run calls. Every subcommand adds
// itself (commands.h).
#include <CLI/CLI.hpp>

#include "tool/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"keyin-tool: set-up and maintenance of the keyin scorer"};
  app.require_subcommand(1);
  keyin::tool::AddInitDbCommand(app);
  keyin::tool::AddLibReadCommand(app);
  keyin::tool::AddMakeLibCommand(app);
  keyin::tool::AddMakeCusCommand(app);
  keyin::tool::AddTopMethodCommand(app);
  keyin::tool::AddUsageReportCommand(app);
  keyin::tool::AddMaintenanceCommand(app);
  keyin::tool::AddCopyResultsCommand(app);
  keyin::tool::AddResultsCommand(app);
  keyin::tool::AddReportCommand(app);
  keyin::tool::AddRescoreCommand(app);
  keyin::tool::AddAccountsCommand(app);
  keyin::tool::AddCodesCommand(app);
  keyin::tool::AddDrillCommand(app);
  keyin::tool::AddBackupCommands(app);
  CLI11_PARSE(app, argc, argv);
  return 0;
}
