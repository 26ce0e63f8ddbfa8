// The maintenance commands: one click of one button on a freshly activated maintenance form.
#include <iostream>

#include "maintenance/maintenance_form.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "startup/run.h"
#include "tool/commands.h"

namespace keyin::tool {

const std::vector<std::string>& MaintenanceCommandNames() {
  static const std::vector<std::string> names = {"sample-exam-row", "remove-mock-rows",
                                                 "set-use-time"};
  return names;
}

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
    Run run(ProgramFolder(), messages);
    if (command == "sample-exam-row") {
      CommandButton1_Click(form, run, LocalNow());
    } else if (command == "remove-mock-rows") {
      CommandButton2_Click(form, run, LocalNow());
    } else if (command == "set-use-time") {
      CommandButton3_Click(form);
      // The field lives only as long as the form, so the value is all there is to show.
      std::cout << "UseTime=" << Utf16ToUtf8(form.fields[kFieldUseTime]) << "\n";
    } else {
      Complain("unknown maintenance command: " + command);
      return kExitWrongArguments;
    }
    return kExitDone;
  } catch (const RunEnd& end) {
    // A missing database: the opener has shown its message; the line says why.
    if (end.ExitStatus() == kExitFailure || end.ExitStatus() == kExitDatabaseMissing) {
      Complain(end.what());
    }
    return end.ExitStatus();
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return kExitFailure;
  }
}

}  // namespace keyin::tool
