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
                                 std::u16string_view CustomText, MessageSink& messages,
                                 InputFile& paper) {
  std::vector<std::u16string> paper_lines;
  try {
    if (ScoresCustomText(params)) {
      return LibLinesFromCustomText(CustomText);
    }
    paper = ReadPaperFile(params, paths);
    paper_lines = PaperLinesOf(paper.bytes, params.TestPart);
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

// The visual report of an earlier run must not stand beside the reports of this one, whether
// this run writes one or not.
void RemoveVisualReport(const std::array<std::string, 2>& files) {
  for (const std::string& file : files) {
    if (IsNormalFile(file)) DeleteFile(file);
  }
}

}  // namespace

ScoredPart ScorePart(const ScoringInputs& inputs, const RunParams& params) {
  MatchResult matched = ScrLoop(inputs.reference, inputs.typed, params.SubtractScore);
  Scores scores = TotScr(matched.totals, inputs.reference, params.UseTime, KindOfRun(params));
  return {std::move(matched), std::move(scores)};
}

PartReports ScoreAndFormat(const ReferenceLines& reference, const TypedLines& typed,
                           const RunParams& params, const DateTime& now) {
  const RunKind kind = KindOfRun(params);
  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  PartReports reports;
  reports.matched = ScrLoop(reference, typed, params.SubtractScore);
  const MatchResult& matched = reports.matched;
  for (const ScoredLine& line : matched.lines) {
    for (std::u16string& text : ListingBlock(line)) reports.listing.push_back(std::move(text));
  }
  reports.scores = TotScr(matched.totals, reference, params.UseTime, kind);
  for (std::u16string& text : ListingSummary(TestFileName, reports.scores, params.SubtractScore)) {
    reports.listing.push_back(std::move(text));
  }
  reports.summary = ScoreSummary(TestFileName, reports.scores);
  ErrorCheck check =
      ErrChk(params.ExamPaperNo, params.TestPart, kind, reports.scores, matched.totals,
             FormatDateTimeText(now, "yyyy/M/d"), FormatDateTimeText(now, "H:mm:ss"));
  reports.check = std::move(check.lines);
  reports.ErrorWords = std::move(check.ErrorWords);
  return reports;
}

std::array<std::string, 3> ReportPathsOf(const std::string& base) {
  return {base + ".SCR", base + ".TOT", base + ".CHK"};
}

std::array<std::string, 2> VisualReportPathsOf(const std::string& base) {
  return {base + ".html", base + ".json"};
}

ScoringOutcome ScoreIntoReports(const ReferenceLines& reference,
                                const std::vector<std::u16string>& answer_lines,
                                const RunParams& params, const std::string& base,
                                const DateTime& now) {
  const std::array<std::string, 3> reports = ReportPathsOf(base);
  EmptyReports(reports, false);
  RemoveVisualReport(VisualReportPathsOf(base));
  try {
    TextWriter listing(reports[0]);
    TextWriter summary(reports[1]);
    TextWriter check_file(reports[2]);
    TypedLines typed = LoadTypedLines(answer_lines);
    PartReports part = ScoreAndFormat(reference, typed, params, now);
    WriteLines(listing, part.listing);
    WriteLines(summary, part.summary);
    WriteLines(check_file, part.check);
    listing.Close();
    summary.Close();
    check_file.Close();
    ScoringOutcome outcome;
    outcome.scores = std::move(part.scores);
    outcome.ErrorWords = std::move(part.ErrorWords);
    outcome.reports = reports;
    outcome.inputs = {reference, std::move(typed)};
    outcome.matched = std::move(part.matched);
    return outcome;
  } catch (...) {
    EmptyReports(reports, true);  // a report already in place goes with the others
    throw;
  }
}

ScoringOutcome ScoreAnswer(const RunParams& params, const PathTranslator& paths,
                           std::u16string_view CustomText, MessageSink& messages,
                           const DateTime& now) {
  InputFile paper;
  const ReferenceLines reference = LoadReferenceText(params, paths, CustomText, messages, paper);

  const std::u16string TestFileName = TestFileNameOf(params.TestPart);
  const std::string score_folder = paths(params.ScrPath);
  if (!score_folder.empty() && !IsFolder(score_folder)) CreateFolder(score_folder);
  InputFile answer = ReadAnswerFile(params, paths);
  ScoringOutcome outcome = ScoreIntoReports(reference, AnswerLinesOf(answer.bytes), params,
                                            paths(params.ScrPath + TestFileName), now);
  outcome.paper = std::move(paper);
  outcome.answer = std::move(answer);
  return outcome;
}

}  // namespace keyin
