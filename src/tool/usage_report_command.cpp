// usage-report: the usage detail report KeyinDetial.txt of the keyin record files.
#include <CLI/CLI.hpp>

#include "practice/keyin_statistics.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddUsageReportCommand(CLI::App& app) {
  AddRunParamsCommand(
      app, "usage-report",
      "Write the usage detail report ScrPath/KeyinDetial.txt and copy it into ExamScr/ or "
      "CAIScr/ of the program folder; exit status 1 when it was not completed",
      [](const CLI::App&, const RunParams& params, const PathTranslator& paths,
         MessageSink& messages) {
        std::string failure;
        if (TestKeyin(params, paths, messages, &failure)) return kExitDone;
        Complain("KeyinDetial.txt was not completed: " + failure);
        return kExitFailure;
      });
}

}  // namespace keyin::tool
