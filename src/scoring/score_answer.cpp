// The phases of a scoring run, in order: reference text (custom text, or the paper's lines and
// libtemp), typed answer, line matching, listing blocks, scores, listing summary, score summary,
// error-check file. The three report files are named after the test part.
#include "scoring/score_answer.h"

#include <array>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text_stream.h"
#include "run/run_end.h"
#include "run/run_kind.h"
#include "scoring/inputs.h"
#include "scoring/reports.h"

namespace keyin {
namespace {

void WriteLines(TextWriter& writer, const std::vector<std::u16string>& lines) {
  for (const std::u16string& line : lines) writer.WriteLine(line);
}

// Cmd_Scr's own handler covers the loading of the reference text up to the writing of libtemp:
// it shows the failure and ends the run before any report file exists.
//
// libtemp is written for whoever reads it outside the run; the run takes its reference lines from
// the paper's lines in memory, as they would read back. Seats that share a library folder run at
// the same time, so each writes a file of its own and renames it over libtemp once it is whole.
ReferenceLines LoadReferenceText(const RunParams& params, const PathTranslator& paths,
                                 std::u16string_view CustomText, MessageSink& messages) {
  std::vector<std::u16string> paper_lines;
  try {
    if (KindOfRun(params) == RunKind::kCustomTextPractice) {
      return LibLinesFromCustomText(CustomText);
    }
    paper_lines = ReadPaperLines(params, paths);
    TextWriter libtemp(paths(params.LibPath + u"libtemp"));
    WriteLines(libtemp, paper_lines);
    libtemp.Close();
  } catch (const std::exception& failure) {
    messages.Show(u"Cmd_Scr 模組發生錯誤，因為：" + Utf8ToUtf16(failure.what()), u"Cmd_Scr Error ");
    throw RunEnd(kExitFailure, std::string("Cmd_Scr: ") + failure.what());
  }
  return LibLinesThroughLibtemp(paper_lines);
}

// Leaves each report file of the part holding its byte-order mark only. `best_effort` passes
// over a file that cannot be replaced.
void EmptyReports(const std::array<std::string, 3>& reports, bool best_effort) {
  for (const std::string& report : reports) {
    try {
      TextWriter(report).Close();
    } catch (const FileError&) {
      if (!best_effort) throw;
    }
  }
}

}  // namespace

ScoredPart ScorePart(const ScoringInputs& inputs, const RunParams& params) {
  MatchResult matched = ScrLoop(inputs.reference, inputs.typed, params.SubtractScore);
  Scores scores = TotScr(matched.totals, inputs.reference, params.UseTime, KindOfRun(params));
  return {std::move(matched), std::move(scores)};
}

ScoringOutcome ScoreAnswer(const RunParams& params, const PathTranslator& paths,
                           std::u16string_view CustomText, MessageSink& messages) {
  const ReferenceLines reference = LoadReferenceText(params, paths, CustomText, messages);
  const RunKind kind = KindOfRun(params);  // a number: the loading above has read it

  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  const std::string score_folder = paths(params.ScrPath);
  if (!score_folder.empty() && !IsFolder(score_folder)) CreateFolder(score_folder);
  const std::vector<std::u16string> answer_lines = ReadAnswerLines(params, paths);
  const std::u16string base = params.ScrPath + TestFileName;
  const std::array<std::string, 3> reports = {paths(base + u".SCR"), paths(base + u".TOT"),
                                              paths(base + u".CHK")};
  // The part's three reports are emptied first and each new one replaces its empty file when the
  // three are whole: at no moment, not even when the run is killed, does a report of an earlier
  // run stand beside one of this run, and a run that fails leaves the three empty.
  EmptyReports(reports, false);
  try {
    TextWriter listing(reports[0]);
    TextWriter summary(reports[1]);
    TextWriter check_file(reports[2]);
    const TypedLines typed = LoadTypedLines(answer_lines);

    const MatchResult matched = ScrLoop(reference, typed, params.SubtractScore);
    for (const ScoredLine& line : matched.lines) WriteLines(listing, ListingBlock(line));

    Scores scores = TotScr(matched.totals, reference, params.UseTime, kind);
    WriteLines(listing, ListingSummary(TestFileName, scores, params.SubtractScore));
    WriteLines(summary, ScoreSummary(TestFileName, scores));

    const DateTime now = LocalNow();
    ErrorCheck check =
        ErrChk(params.ExamPaperNo, params.TestPart, kind, scores, matched.totals,
               FormatDateTimeText(now, "yyyy/M/d"), FormatDateTimeText(now, "H:mm:ss"));
    WriteLines(check_file, check.lines);
    listing.Close();
    summary.Close();
    check_file.Close();
    return {std::move(scores), std::move(check.ErrorWords)};
  } catch (...) {
    EmptyReports(reports, true);  // a report already in place goes with the others
    throw;
  }
}

}  // namespace keyin
