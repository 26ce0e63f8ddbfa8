// usage-report: the usage detail report KeyinDetial.txt of the keyin record files.
#include <CLI/CLI.hpp>
#include <memory>

#include "practice/keyin_statistics.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddUsageReportCommand(CLI::App& app) {
  auto run = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "usage-report",
      "Write the usage detail report ScrPath/KeyinDetial.txt and copy it into ExamScr/ or "
      "CAIScr/ of the program folder; exit status 1 when it was not completed");
  command->add_option("--run", *run, "The 16 comma-separated run parameters")->required();
  OnRun(command, [run] {
    return WithRunParams(
        *run, [](const RunParams& params, const PathTranslator& paths, MessageSink& messages) {
          std::string failure;
          if (TestKeyin(params, paths, messages, &failure)) return kExitDone;
          Complain("KeyinDetial.txt was not completed: " + failure);
          return kExitFailure;
        });
  });
}

}  // namespace keyin::tool
