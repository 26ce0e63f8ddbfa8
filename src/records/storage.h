// The storage phase of Cmd_Scr for the result tables: the table of the kind of run, then the CSCR
// score file after a second part. (The practice record is the phase's other half, practice/.)
#pragma once

#include <optional>
#include <string>

#include "platform/message_box.h"
#include "records/databases.h"
#include "records/result_tables.h"
#include "run/run_params.h"
#include "scoring/run_context.h"
#include "scoring/score_answer.h"

namespace keyin {

// An exam stores its row in Keyin of the answer database; a mock test stores a TestScore_Student
// row and an offline exam an OfflineScore row in the keyin-statistics database, each followed by
// the CSCR file in `cscr_folder` (unless nothing is given) when a second part was stored. The
// practices and kinds 0 and 7 store nothing here; a TestType of no listed kind fails the run
// (RunFailure), since nothing keeps its result. Every failure propagates and ends the run with a
// non-zero status; a CSCR file that cannot be written fails the run after the row is stored
// (RunFailure).
void StoreResults(const RunParams& params, ResultStores& stores, const ScoringOutcome& outcome,
                  const RunContext& context, const std::optional<std::string>& cscr_folder,
                  StoreMode mode = StoreMode::kRun);

}  // namespace keyin
