// The phases of a scoring run, in order: reference text (custom text, or the paper's lines and
// libtemp), typed answer, line matching, listing blocks, scores, listing summary, score summary,
// error-check file. The three report files are named after the test part.
#include "scoring/score_answer.h"

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

// Writes the paper's lines to a new file of this run's own beside libtemp and returns its path.
std::string WriteOwnLibtemp(const std::vector<std::u16string>& paper_lines,
                            const std::string& libtemp_path) {
  const std::string own_path = CreateUniqueFile(libtemp_path);
  TextWriter libtemp(own_path);
  WriteLines(libtemp, paper_lines);
  libtemp.Close();
  return own_path;
}

// Cmd_Scr's own handler covers the loading of the reference text up to the writing of libtemp:
// it shows the failure and ends the run before any report file exists.
//
// libtemp is written for whoever reads it outside the run; the run takes its reference lines from
// the paper's lines in memory, as they would read back. Seats that share a library folder run at
// the same time, so each writes a copy of its own and renames it over libtemp once it is whole.
ReferenceLines LoadReferenceText(const RunParams& params, const PathTranslator& paths,
                                 std::u16string_view CustomText, MessageSink& messages) {
  const std::string libtemp_path = paths(params.LibPath + u"libtemp");
  std::vector<std::u16string> paper_lines;
  std::string own_path;
  try {
    if (KindOfRun(params) == RunKind::kCustomTextPractice) {
      return LibLinesFromCustomText(CustomText);
    }
    paper_lines = ReadPaperLines(params, paths);
    own_path = WriteOwnLibtemp(paper_lines, libtemp_path);
  } catch (const std::exception& failure) {
    messages.Show(u"Cmd_Scr 模組發生錯誤，因為：" + Utf8ToUtf16(failure.what()), u"Cmd_Scr Error ");
    throw RunEnd(kExitFailure, std::string("Cmd_Scr: ") + failure.what());
  }
  RenameReplacing(own_path, libtemp_path);
  return LibLinesThroughLibtemp(paper_lines);
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
  TextWriter listing(paths(base + u".SCR"));
  TextWriter summary(paths(base + u".TOT"));
  const TypedLines typed = LoadTypedLines(answer_lines);

  const MatchResult matched = ScrLoop(reference, typed, params.SubtractScore);
  for (const ScoredLine& line : matched.lines) WriteLines(listing, ListingBlock(line));

  Scores scores = TotScr(matched.totals, reference, params.UseTime, kind);
  WriteLines(listing, ListingSummary(TestFileName, scores, params.SubtractScore));
  listing.Close();
  WriteLines(summary, ScoreSummary(TestFileName, scores));
  summary.Close();

  const DateTime now = LocalNow();
  ErrorCheck check =
      ErrChk(params.ExamPaperNo, params.TestPart, kind, scores, matched.totals,
             FormatDateTimeText(now, "yyyy/M/d"), FormatDateTimeText(now, "H:mm:ss"));
  TextWriter check_file(paths(base + u".CHK"));
  WriteLines(check_file, check.lines);
  check_file.Close();
  return {std::move(scores), std::move(check.ErrorWords)};
}

}  // namespace keyin
