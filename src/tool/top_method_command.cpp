// top-method: the most used input method of the keyin record files a run selects.
#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/code_page.h"
#include "practice/keyin_statistics.h"
#include "run/run_end.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {

void AddTopMethodCommand(CLI::App& app) {
  CLI::App* command = AddRunParamsCommand(
      app, "top-method",
      "Print the most used input method of the keyin record files (ExamScr/ or CAIScr/ of the "
      "program folder) that the run parameters select; \"其他\" when none was recorded",
      [](const CLI::App& command, const RunParams& params, const PathTranslator& paths,
         MessageSink& messages) {
        bool failed = false;
        const std::u16string part = Utf8ToUtf16(ValueOf(&command, "PART"));
        const std::u16string method = GetKeyin(params, paths, messages, part, &failed);
        std::cout << Utf16ToUtf8(method) << "\n";
        // The message box has said why; the status lets a script tell "其他" from a failure.
        return failed ? kExitFailure : kExitDone;
      });
  command->add_option("PART", "The test part: \"1\" for test one")->required();
}

}  // namespace keyin::tool
