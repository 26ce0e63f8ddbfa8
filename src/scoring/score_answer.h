// Cmd_Scr up to its storage phase: loads the test paper and the typed answer, matches and marks
// every line, computes the scores and writes libtemp and the three report files.
#pragma once

#include <string>
#include <string_view>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"
#include "scoring/matching.h"
#include "scoring/read_inputs.h"
#include "scoring/totals.h"

namespace keyin {

// What the storage phase takes from the scoring.
struct ScoringOutcome {
  Scores scores;
  std::u16string ErrorWords;  // the error-check file's wrong words, at most 250 characters
};

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
// only), and any later failure leaves them so: never a report of an earlier run beside one of
// this run.
//
// Failures while the reference text is loaded (a TestType that is no number included) are shown
// in Cmd_Scr's message box and end the run (RunEnd); later failures propagate (the run ends with
// one stderr line).
ScoringOutcome ScoreAnswer(const RunParams& params, const PathTranslator& paths,
                           std::u16string_view CustomText, MessageSink& messages);

}  // namespace keyin
