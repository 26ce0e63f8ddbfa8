// top-method: the most used input method of the keyin record files a run selects.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "platform/code_page.h"
#include "practice/keyin_statistics.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddTopMethodCommand(CLI::App& app) {
  struct Options {
    std::string run, part;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "top-method",
      "Print the most used input method of the keyin record files (ExamScr/ or CAIScr/ of the "
      "program folder) that the run parameters select; \"其他\" when none was recorded");
  command->add_option("--run", options->run, "The 16 comma-separated run parameters")->required();
  command->add_option("PART", options->part, "The test part: \"1\" for test one")->required();
  OnRun(command, [options] {
    return WithRunParams(options->run, [&](const RunParams& params, const PathTranslator& paths,
                                           MessageSink& messages) {
      bool failed = false;
      const std::u16string method =
          GetKeyin(params, paths, messages, Utf8ToUtf16(options->part), &failed);
      std::cout << Utf16ToUtf8(method) << "\n";
      // The message box has said why; the status lets a script tell "其他" from a failure.
      return failed ? kExitFailure : kExitDone;
    });
  });
}

}  // namespace keyin::tool
