#include "startup/startup.h"

#include "records/databases.h"
#include "run/run_end.h"
#include "run/run_kind.h"
#include "run/run_params.h"
#include "scoring/read_inputs.h"
#include "startup/cmd_scr.h"

namespace keyin {
namespace {

constexpr char kProgramName[] = "keyin-scorer";

void StartRun(std::u16string_view argument_text, const PathTranslator& paths,
              MessageSink& messages) {
  const std::unique_ptr<DbConnection> KeyinConn = opendb(paths, messages);
  const std::vector<std::u16string> pieces = SplitArguments(argument_text);
  if (pieces.size() != kRunParamCount) {
    messages.Show(u"傳遞的參數不正確！", u"error");
    throw RunEnd(kExitWrongArguments, "expected 16 comma-separated run parameters, got " +
                                          std::to_string(pieces.size()));
  }
  const RunParams params = MakeRunParams(pieces);
  // The custom text belongs to every run whose kind is numerically 0 ("0", "00", " 0"), so that
  // such a run scores the custom text rather than an empty paper.
  std::u16string CustomText;
  if (KindOfRunIfNumber(params) == RunKind::kCustomTextPractice) {
    CustomText = LoadCustomText(params, paths, messages);
  }
  Cmd_Scr(params, paths, *KeyinConn, messages, CustomText);
}

}  // namespace

int UserForm_Activate(std::u16string_view argument_text, const std::string& program_folder,
                      MessageSink& messages) {
  try {
    StartRun(argument_text, PathTranslator(program_folder), messages);
    return kExitDone;
  } catch (const RunEnd& end) {
    // A store that could not be used says why: a message box cannot tell a missing file from a
    // server that refused the login.
    if (end.ExitStatus() == kExitFailure || end.ExitStatus() == kExitDatabaseMissing) {
      ReportFailureLine(kProgramName, end.what());
    }
    return end.ExitStatus();
  } catch (const std::exception& failure) {
    ReportFailureLine(kProgramName, failure.what());
    return kExitFailure;
  }
}

}  // namespace keyin
