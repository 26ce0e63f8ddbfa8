// Cmd_Scr up to its storage phase: loads the test paper and the typed answer, matches and marks
// every line, computes the scores and writes libtemp and the three report files.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"
#include "scoring/matching.h"
#include "scoring/read_inputs.h"
#include "scoring/run_context.h"
#include "scoring/totals.h"

namespace keyin {

// What the storage phase, the run log and the visual report take from the scoring.
struct ScoringOutcome {
  Scores scores;
  std::u16string ErrorWords;           // the error-check file's wrong words, at most 250 characters
  InputFile paper;                     // the paper as read; empty for a custom-text practice
  InputFile answer;                    // the typed answer as read
  std::array<std::string, 3> reports;  // the .SCR, .TOT and .CHK files written
  ScoringInputs inputs;                // the reference and typed lines that were scored
  MatchResult matched;                 // what the matching made of them
};

// The three reports of a part and what they show. Pure.
struct PartReports {
  Scores scores;
  std::u16string ErrorWords;
  std::vector<std::u16string> listing, summary, check;  // lines of .SCR, .TOT and .CHK
  MatchResult matched;
};
PartReports ScoreAndFormat(const ReferenceLines& reference, const TypedLines& typed,
                           const RunParams& params, const DateTime& now);

// The .SCR, .TOT and .CHK files of `base`, a path that ends in the answer's name (CTEST-1).
std::array<std::string, 3> ReportPathsOf(const std::string& base);
// The visual report of the part beside them: `base`.html and `base`.json.
std::array<std::string, 2> VisualReportPathsOf(const std::string& base);

// Empties the three report files of `base` and removes its visual report, scores the answer's
// lines and writes the reports, each replacing its empty file when the three are whole: at no
// moment, not even when the run is killed, does a report of an earlier run stand beside one of
// this run, and a failure leaves the three empty and no visual report. Returns the scores, the
// wrong words, the report paths and what was scored.
ScoringOutcome ScoreIntoReports(const ReferenceLines& reference,
                                const std::vector<std::u16string>& answer_lines,
                                const RunParams& params, const std::string& base,
                                const DateTime& now);

// The matching and the totals of one test part.
struct ScoredPart {
  MatchResult matched;
  Scores scores;
};

// The scores of the inputs as the scoring run computes them. Pure. Throws RunFailure for a TestType
// that is no number and ScoreError as TotScr does.
ScoredPart ScorePart(const ScoringInputs& inputs, const RunParams& params);

// The scoring run: reads the reference text and the typed answer, writes libtemp (library papers)
// and the .SCR, .TOT and .CHK reports. libtemp and the score folder are written before the typed
// answer is read; once it is read the three reports of the part are emptied (byte-order mark
// only) and its visual report removed, and any later failure leaves them so: never a report of
// an earlier run beside one of this run.
//
// Failures while the reference text is loaded (a TestType that is no number included) are shown
// in Cmd_Scr's message box and end the run (RunEnd); later failures propagate (the run ends with
// one stderr line).
ScoringOutcome ScoreAnswer(const RunParams& params, const PathTranslator& paths,
                           std::u16string_view CustomText, MessageSink& messages,
                           const DateTime& now);

}  // namespace keyin
