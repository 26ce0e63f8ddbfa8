// keyin-tool report: the visual report of one scored part, as an HTML page or as JSON, from the
// argument string that keyin-scorer takes. It reads the paper and the typed answer as the scoring
// run reads them and scores them with the same engine; it writes nothing but its output, and opens
// no database.
//
// Bad input fails as the scoring run fails: the same message box or stderr description and a
// non-zero exit status. The output is made whole in memory first, so a failure writes none of it.
#include <CLI/CLI.hpp>

#include "audit/visual_report.h"
#include "platform/code_page.h"
#include "platform/message_box.h"
#include "practice/keyin_statistics.h"
#include "report/score_report.h"
#include "run/run_end.h"
#include "run/run_kind.h"
#include "scoring/inputs.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

struct Options {
  std::string format;
  std::string output;
  std::string method;
  std::vector<std::string> words;  // the argument string, split by the shell
};

// The scoring run's inputs, each read where the run reads it so that a failure ends this command
// as it ends the run: the custom text as start-up loads it (its own description), the reference
// text under Cmd_Scr's handler (its message box), the typed answer after it (its description).
// The readers are those of ReadScoringInputs; only the order of their failures is the run's.
ScoringInputs ReadAsTheRunReads(const RunParams& params, const PathTranslator& paths,
                                MessageSink& messages) {
  std::u16string CustomText;
  if (ScoresCustomTextIfNumber(params)) {
    CustomText = LoadCustomText(params, paths, messages);
  }
  ScoringInputs inputs;
  std::vector<std::u16string> paper_lines;
  bool custom = false;
  try {
    custom = ScoresCustomText(params);
    if (custom) {
      inputs.reference = LibLinesFromCustomText(CustomText);
    } else {
      paper_lines = ReadPaperLines(params, paths);
    }
  } catch (const std::exception& failure) {
    messages.Show(u"Cmd_Scr 模組發生錯誤，因為：" + Utf8ToUtf16(failure.what()), u"Cmd_Scr Error ");
    throw RunFailure(std::string("Cmd_Scr: ") + failure.what());
  }
  if (!custom) inputs.reference = LibLinesThroughLibtemp(paper_lines);
  inputs.typed = LoadTypedLines(ReadAnswerLines(params, paths));
  return inputs;
}

// The codes of the method asked for, or else of the one the keyin record files give for this
// candidate and part, where they give one. A table that cannot be had is said in the report.
void AddCodesOfRecordedMethod(report::ScoreReport& report, std::string method,
                              const RunParams& params, const ScoringInputs& inputs) {
  if (method.empty()) {
    RecordingMessageSink quiet;  // no record file is no failure of the report
    bool failed = false;
    const std::u16string recorded =
        GetKeyin(params, PathTranslator(ProgramFolder()), quiet, params.TestPart, &failed);
    if (failed || recorded == u"其他") return;
    method = Utf16ToUtf8(recorded);
  }
  AddCodesOfMethod(report, method, inputs.reference);
}

bool WantsJson(const Options& options) {
  if (!options.format.empty()) return options.format == "json";
  return OutputExtension(options.output) == ".json";
}

int Report(const Options& options) {
  std::string arguments;
  for (const std::string& word : options.words) {
    if (!arguments.empty()) arguments += ' ';
    arguments += word;
  }
  ConsoleMessageSink messages;
  const std::vector<std::u16string> pieces = SplitArguments(Utf8ToUtf16(arguments));
  if (pieces.size() != kRunParamCount) {
    messages.Show(u"傳遞的參數不正確！", u"error");
    return kExitWrongArguments;
  }
  try {
    const RunParams params = MakeRunParams(pieces);
    const ScoringInputs inputs =
        ReadAsTheRunReads(params, PathTranslator(ProgramFolder()), messages);
    const ScoredPart part = ScorePart(inputs, params);
    report::ScoreReport report = report::BuildScoreReport(params, inputs, part);
    AddCodesOfRecordedMethod(report, options.method, params, inputs);
    WriteOutput(options.output, WantsJson(options) ? report::ScoreReportJson(report)
                                                   : Utf16ToUtf8(report::ScoreReportHtml(report)));
    return kExitDone;
  } catch (const std::exception& failure) {
    Complain(std::string("report: ") + failure.what());
    return kExitFailure;
  }
}

}  // namespace

void AddReportCommand(CLI::App& app) {
  auto options = std::make_shared<Options>();
  CLI::App* command = app.add_subcommand(
      "report",
      "The visual report of one scored part: every missing, wrong and extra character, line by "
      "line, with the totals of the .TOT file, as one printable HTML page or as JSON");
  command
      ->add_option("--format", options->format,
                   "html (a self-contained page) or json (docs/report-format.md); the default is "
                   "json for an --output ending in .json, html otherwise")
      ->check(CLI::IsMember({"html", "json"}));
  AddOutputOption(command, options->output);
  command->add_option("--method", options->method,
                      "The input method whose codes the missed and wrong characters carry (倉頡, "
                      "新倉頡, 速成, 行列, 大易, 注音, 新注音); default: the method the keyin "
                      "record files give for this candidate and part, if any");
  command->add_option("ARGUMENT-STRING", options->words,
                      "The 16 comma-separated run parameters, as keyin-scorer takes them "
                      "(several words are joined by single blanks)");
  command->footer(
      "Reads the test paper (or custom text) and the typed answer exactly as keyin-scorer does\n"
      "with the same argument string, and scores them with the same engine. Writes no report\n"
      "files, no libtemp and no result, and opens no database.\n"
      "\n"
      "Exit status: 0 written; 2 not 16 run parameters (the scorer's message); 1 any other\n"
      "failure, with the scorer's message or description and nothing written.");
  OnRun(command, [options] { return Report(*options); });
}

}  // namespace keyin::tool
