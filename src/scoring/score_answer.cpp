// The phases of a scoring run, in order: reference text (custom text, or library through
// libtemp), typed answer, line matching, listing blocks, scores, listing summary, score summary,
// error-check file. The three report files are named after the test part.
#include "scoring/score_answer.h"

#include "platform/ansi_file.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text_stream.h"
#include "scoring/inputs.h"
#include "scoring/matching.h"
#include "scoring/reports.h"
#include "support/library.h"
#include "support/number_text.h"

namespace keyin {
namespace {

std::vector<std::u16string> ReadAllLines(TextReader& reader) {
  std::vector<std::u16string> lines;
  while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
  return lines;
}

void WriteLines(TextWriter& writer, const std::vector<std::u16string>& lines) {
  for (const std::u16string& line : lines) writer.WriteLine(line);
}

// Writes the test paper's lines, in the order of the test part, to a file of this run's own
// beside libtemp and returns its path.
std::string WriteLibtemp(const Run& run, const std::string& libtemp_path) {
  const RunParams& params = run.params;
  std::string paper_path = run.translate(params.LibPath + params.ExamPaperNo + u".LIB");
  // A missing paper would score every candidate 0 against an empty text; refuse it instead.
  if (!IsNormalFile(paper_path)) throw RunFailure("test paper not found: " + paper_path);
  RecordFile paper(paper_path);
  std::vector<std::u16string> lines = ReadLibForScoring(paper, params.TestPart);
  std::string own_path = CreateUniqueFile(libtemp_path);
  TextWriter libtemp(own_path);
  WriteLines(libtemp, lines);
  libtemp.Close();
  return own_path;
}

// Cmd_Scr's own handler covers the loading of the reference text: it shows the failure and ends
// the run before any report file exists.
//
// Seats that share a library folder run at the same time: each run writes and reads back its own
// copy of the paper's lines and only then renames it to libtemp, so no run reads another's paper.
ReferenceLines LoadReferenceText(Run& run) {
  const RunParams& params = run.params;
  std::string libtemp_path = run.translate(params.LibPath + u"libtemp");
  std::string own_path;
  try {
    if (TestTypeNumber(params) == 0) return LibLinesFromCustomText(run.CustomText);
    own_path = WriteLibtemp(run, libtemp_path);
  } catch (const std::exception& failure) {
    run.messages.Show(u"Cmd_Scr 模組發生錯誤，因為：" + Utf8ToUtf16(failure.what()),
                      u"Cmd_Scr Error ");
    throw RunEnd(kExitFailure, std::string("Cmd_Scr: ") + failure.what());
  }
  TextReader libtemp(own_path);
  RenameReplacing(own_path, libtemp_path);
  return LibLinesFromLibtemp(ReadAllLines(libtemp));
}

}  // namespace

ScoringOutcome ScoreAnswer(Run& run) {
  const RunParams& params = run.params;
  ReferenceLines reference = LoadReferenceText(run);

  std::u16string TestFileName = TestFileNameOf(params.TestPart);
  std::string score_folder = run.translate(params.ScrPath);
  if (!score_folder.empty() && !IsFolder(score_folder)) CreateFolder(score_folder);
  std::u16string base = params.ScrPath + TestFileName;
  TextReader answer(run.translate(base));
  TextWriter listing(run.translate(base + u".SCR"));
  TextWriter summary(run.translate(base + u".TOT"));
  TypedLines typed = LoadTypedLines(ReadAllLines(answer));

  MatchResult matched = ScrLoop(reference, typed, params.SubtractScore);
  for (const ScoredLine& line : matched.lines) WriteLines(listing, ListingBlock(line));

  double test_type = TestTypeNumber(params);
  Scores scores = TotScr(matched.totals, reference, params.UseTime, test_type);
  WriteLines(listing, ListingSummary(TestFileName, scores, params.SubtractScore));
  listing.Close();
  WriteLines(summary, ScoreSummary(TestFileName, scores));
  summary.Close();

  DateTime now = LocalNow();
  ErrorCheck check = ErrChk(params.ExamPaperNo, params.TestPart, test_type, scores, matched.totals,
                            Utf8ToUtf16(FormatDateTime(now, "yyyy/M/d")),
                            Utf8ToUtf16(FormatDateTime(now, "H:mm:ss")));
  TextWriter check_file(run.translate(base + u".CHK"));
  WriteLines(check_file, check.lines);
  check_file.Close();

  if (test_type == 3) {
    if (LeadingNumber(params.TestPart) == 1) {
      run.ErrorWords1 = check.ErrorWords;
    } else {
      run.ErrorWords2 = check.ErrorWords;
    }
  }
  return {std::move(scores), std::move(check.ErrorWords)};
}

}  // namespace keyin
