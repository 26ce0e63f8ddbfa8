// The storage phase of Cmd_Scr: the result table of the kind of run, the CSCR score file after a
// second part, and the practice record.
#pragma once

#include "scoring/score_answer.h"
#include "startup/run.h"

namespace keyin {

// TestType "5" (exactly) stores an exam row in Keyin; TestType 3 a mock-test row in
// TestScore_Student and 4 an offline-exam row in OfflineScore, each followed by the CSCR file
// when a second part was stored; TestType 1 and 2 store the practice record when UserID or
// StuName is given. Every failure propagates and ends the run with a non-zero status; a CSCR file
// that cannot be written does not stop the phase but fails the run at its end (RunFailure).
void StoreResults(Run& run, const ScoringOutcome& outcome);

}  // namespace keyin
