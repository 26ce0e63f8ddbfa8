// The input-method statistics with the run parameters of an argument string: the most used
// method (top-method) and the usage detail report (usage-report).
#include <iostream>

#include "platform/code_page.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "practice/keyin_statistics.h"
#include "startup/run.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

// The run parameters of a 16-field argument string, or nothing after a complaint.
std::optional<RunParams> ReadRunParams(const std::string& argument_string) {
  const std::vector<std::u16string> pieces = SplitArguments(Utf8ToUtf16(argument_string));
  if (pieces.size() != kRunParamCount) {
    Complain("--run needs 16 comma-separated run parameters, got " + std::to_string(pieces.size()));
    return std::nullopt;
  }
  try {
    return MakeRunParams(pieces);
  } catch (const RunFailure& failure) {
    Complain(failure.what());
    return std::nullopt;
  }
}

}  // namespace

// Runs `work` on a run made of the argument string's parameters: 2 when the string is refused,
// 1 when `work` throws (after one stderr line), otherwise what `work` returns.
template <typename Work>
int WithRun(const std::string& argument_string, Work work) {
  std::optional<RunParams> params = ReadRunParams(argument_string);
  if (!params) return kExitWrongArguments;
  try {
    ConsoleMessageSink messages;
    Run run(ProgramFolder(), messages);
    run.params = std::move(*params);
    return work(run);
  } catch (const std::exception& failure) {
    Complain(failure.what());
    return kExitFailure;
  }
}

int TopMethod(const std::string& argument_string, const std::string& part) {
  return WithRun(argument_string, [&](Run& run) {
    bool failed = false;
    const std::u16string method = GetKeyin(run, Utf8ToUtf16(part), &failed);
    std::cout << Utf16ToUtf8(method) << "\n";
    // The message box has said why; the status lets a script tell "其他" from a failure.
    return failed ? kExitFailure : kExitDone;
  });
}

int UsageReport(const std::string& argument_string) {
  return WithRun(argument_string, [](Run& run) {
    std::string failure;
    if (TestKeyin(run, &failure)) return kExitDone;
    Complain("KeyinDetial.txt was not completed: " + failure);
    return kExitFailure;
  });
}

}  // namespace keyin::tool
