// Cmd_Scr up to its storage phase: loads the test paper and the typed answer, matches and marks
// every line, computes the scores and writes the three report files.
#pragma once

#include <string>

#include "scoring/totals.h"
#include "startup/run.h"

namespace keyin {

struct ScoringOutcome {
  Scores scores;
  std::u16string ErrorWords;
};

// Failures while the reference text is loaded are shown in Cmd_Scr's message box and end the run
// (RunEnd); later failures propagate (the run ends with one stderr line). Sets ErrorWords1 or
// ErrorWords2 of a mock test in the run.
ScoringOutcome ScoreAnswer(Run& run);

}  // namespace keyin
