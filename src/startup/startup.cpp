#include "startup/startup.h"

#include <chrono>
#include <string_view>

#include "audit/run_recorder.h"
#include "audit/visual_report.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "records/databases.h"
#include "run/run_end.h"
#include "run/run_id.h"
#include "run/run_kind.h"
#include "run/run_params.h"
#include "scoring/read_inputs.h"
#include "startup/cmd_scr.h"

namespace keyin {
namespace {

constexpr char kProgramName[] = "keyin-scorer";

// A temporary file of libtemp, of a report or of a CSCR file (file_system.h names them).
bool IsRunTemporaryName(std::string_view name) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view final_name = name.substr(0, dot);
  if (!IsTemporaryNameOf(name, final_name)) return false;
  if (final_name == "libtemp") return true;
  if (final_name.starts_with("CSCR")) {
    return final_name.find_first_not_of("0123456789-", 4) == std::string_view::npos;
  }
  for (const std::string_view report :
       {"CTEST-1.SCR", "CTEST-1.TOT", "CTEST-1.CHK", "CTEST-1.html", "CTEST-1.json", "CTEST-2.SCR",
        "CTEST-2.TOT", "CTEST-2.CHK", "CTEST-2.html", "CTEST-2.json"}) {
    if (final_name == report) return true;
  }
  return false;
}

// A run removes its temporary files on every failure it sees; a run that was killed, or whose
// machine stopped, leaves them. Each run clears its own two folders of those older than an hour,
// which belong to no run still going.
void RemoveLeftovers(const RunParams& params, const PathTranslator& paths) {
  for (const std::u16string* folder : {&params.LibPath, &params.ScrPath}) {
    std::string path = paths(*folder);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!path.empty()) RemoveOldFiles(path, IsRunTemporaryName, std::chrono::hours(1));
  }
}

// What the caller asks of the run through its environment, read before anything is opened: the
// run's id and the visual report.
struct CallerRequests {
  std::string run_id;
  bool visual_report = false;
  std::string refused;  // why the run must not go on; empty when nothing was refused
};

CallerRequests ReadCallerRequests(const RunContext& context) {
  CallerRequests requests;
  const std::optional<std::string> given = GetEnvironment(kRunIdVariable);
  if (given && IsRunId(*given)) {
    requests.run_id = *given;
  } else {
    // A refused id is not the run's name: its line in the log gets one of its own.
    requests.run_id = NewRunId(context.now);
    if (given) {
      requests.refused = std::string(kRunIdVariable) + " must be 1 to " +
                         std::to_string(kMaxRunIdLength) +
                         " letters, digits, \"-\", \"_\", \".\" or \":\"; nothing was stored";
    }
  }
  try {
    requests.visual_report = VisualReportAsked();
  } catch (const RunFailure& refused) {
    if (requests.refused.empty()) requests.refused = refused.what();
  }
  return requests;
}

void StartRun(std::u16string_view argument_text, const PathTranslator& paths, MessageSink& messages,
              RunRecorder& recorder, bool visual_report) {
  std::unique_ptr<DbConnection> KeyinConn = opendb(paths, messages);
  const std::vector<std::u16string> pieces = SplitArguments(argument_text);
  if (pieces.size() != kRunParamCount) {
    messages.Show(u"傳遞的參數不正確！", u"error");
    throw RunEnd(kExitWrongArguments, "expected 16 comma-separated run parameters, got " +
                                          std::to_string(pieces.size()));
  }
  const RunParams params = MakeRunParams(pieces);
  RemoveLeftovers(params, paths);
  // The custom text belongs to every run whose kind is numerically 0 ("0", "00", " 0"), so that
  // such a run scores the custom text rather than an empty paper.
  std::u16string CustomText;
  if (ScoresCustomTextIfNumber(params)) {
    const InputFile file = ReadCustomTextFile(params, paths);
    CustomText = CustomTextOf(file.bytes, messages);
    recorder.NotePaper(file);
  }
  Cmd_Scr(params, paths, std::move(KeyinConn), messages, CustomText, recorder, visual_report);
}

// The run's exit status and the line that says why it failed; the reason is also logged.
int EndRun(RunRecorder& recorder, int exit_status, const std::string& reason, bool report) {
  if (report) ReportFailureLine(kProgramName, reason);
  if (std::optional<std::string> failure = recorder.Finish(exit_status, reason)) {
    ReportFailureLine(kProgramName, *failure);
  }
  return exit_status;
}

}  // namespace

int UserForm_Activate(std::u16string_view argument_text, const std::string& program_folder,
                      MessageSink& messages) {
  const RunContext context = CurrentRunContext();
  const CallerRequests requests = ReadCallerRequests(context);
  RunRecorder recorder(program_folder, kProgramName, Utf16ToUtf8(argument_text), context,
                       requests.run_id);
  try {
    if (!requests.refused.empty()) throw RunFailure(requests.refused);
    StartRun(argument_text, PathTranslator(program_folder), messages, recorder,
             requests.visual_report);
    return EndRun(recorder, kExitDone, "", false);
  } catch (const RunEnd& end) {
    // A store that could not be used says why: a message box cannot tell a missing file from a
    // server that refused the login.
    return EndRun(recorder, end.ExitStatus(), end.what(),
                  end.ExitStatus() == kExitFailure || end.ExitStatus() == kExitDatabaseMissing);
  } catch (const std::exception& failure) {
    return EndRun(recorder, kExitFailure, failure.what(), true);
  }
}

}  // namespace keyin
