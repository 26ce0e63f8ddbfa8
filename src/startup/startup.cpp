#include "startup/startup.h"

#include "platform/ansi_file.h"
#include "platform/code_page.h"
#include "platform/message_box.h"
#include "startup/cmd_scr.h"
#include "startup/databases.h"
#include "startup/run.h"
#include "support/decoding.h"

namespace keyin {
namespace {

constexpr char kProgramName[] = "keyin-scorer";

// The decrypted custom text, each line followed by CR LF. A line that does not decrypt has shown
// its message and contributes an empty line.
std::u16string LoadCustomText(const Run& run) {
  std::string path =
      run.translate(run.program_folder + "\\lib\\" + Utf16ToUtf8(run.params.ExamPaperNo) + ".cus");
  std::u16string text;
  for (const std::u16string& line : ReadAnsiLines(path)) {
    text += Decrypt(line, run.messages);
    text += u"\r\n";
  }
  return text;
}

void StartRun(Run& run, std::u16string_view argument_text) {
  opendb(run);
  std::vector<std::u16string> pieces = SplitArguments(argument_text);
  if (pieces.size() != kRunParamCount) {
    run.messages.Show(u"傳遞的參數不正確！", u"error");
    throw RunEnd(kExitWrongArguments, "expected 16 comma-separated run parameters, got " +
                                          std::to_string(pieces.size()));
  }
  run.params = MakeRunParams(pieces);
  // The custom text belongs to every run whose kind is numerically 0 ("0", "00", " 0"), so that
  // such a run scores the custom text rather than an empty paper.
  if (std::optional<double> test_type = TestTypeNumberIfAny(run.params); test_type == 0.0) {
    run.CustomText = LoadCustomText(run);
  }
  Cmd_Scr(run);
}

}  // namespace

int UserForm_Activate(std::u16string_view argument_text, const std::string& program_folder,
                      MessageSink& messages) {
  try {
    Run run(program_folder, messages);
    StartRun(run, argument_text);
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
