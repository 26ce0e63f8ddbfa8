// maintenance: one click of one button on a freshly activated maintenance form.
#include <CLI/CLI.hpp>
#include <iostream>

#include "maintenance/maintenance_form.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "records/databases.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

// The commands, in button order.
const std::vector<std::string>& CommandNames() {
  static const std::vector<std::string> names = {"sample-exam-row", "remove-mock-rows",
                                                 "set-use-time"};
  return names;
}

// One command on the 14-field command line: 0 when done, 2 for a command line the form refuses
// (nothing written), 3 for a missing database, 1 for any other failure.
int Maintenance(const std::string& command_line, const std::string& command) {
  MaintenanceForm form;
  try {
    form = ActivateMaintenanceForm(Utf8ToUtf16(command_line));
  } catch (const MaintenanceCommandLineError& failure) {
    Complain(std::string(failure.what()) + "; nothing was written");
    return kExitWrongArguments;
  }
  try {
    ConsoleMessageSink messages;
    const PathTranslator paths(ProgramFolder());
    if (command == "sample-exam-row") {
      CommandButton1_Click(form, *OpenAnsDb(paths, messages), LocalNow());
    } else if (command == "remove-mock-rows") {
      CommandButton2_Click(form, *opendb(paths, messages), LocalNow());
    } else {
      CommandButton3_Click(form);
      // The field lives only as long as the form, so the value is all there is to show.
      std::cout << "UseTime=" << Utf16ToUtf8(form.fields[kFieldUseTime]) << "\n";
    }
    return kExitDone;
  } catch (const RunEnd& end) {
    // A missing database: the opener has shown its message; the line says why.
    if (end.ExitStatus() == kExitFailure || end.ExitStatus() == kExitDatabaseMissing) {
      Complain(end.what());
    }
    return end.ExitStatus();
  }
}

}  // namespace

void AddMaintenanceCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "maintenance",
      "One command of the maintenance form: sample-exam-row replaces the Keyin row of fields "
      "0, 1 and 4 by a sample row for A123456789; remove-mock-rows removes today's "
      "TestScore_Student rows of fields 4, 6 & 7 and 2; set-use-time sets field 10 to 54 and "
      "prints it");
  command
      ->add_option("--run",
                   "The 14 comma-separated fields: the run parameters without TestType and "
                   "ClassName")
      ->required();
  command->add_option("COMMAND", "The command")->required()->check(CLI::IsMember(CommandNames()));
  OnRun(command,
        [command] { return Maintenance(ValueOf(command, "--run"), ValueOf(command, "COMMAND")); });
}

}  // namespace keyin::tool
