// The storage phase of Cmd_Scr for the result tables: the table of the kind of run, then the CSCR
// score file after a second part. (The practice record is the phase's other half, practice/; the
// two and the run's id among the finished runs are stored together by audit/store_run.h.)
#pragma once

#include <optional>
#include <string>

#include "platform/message_box.h"
#include "records/databases.h"
#include "records/result_tables.h"
#include "run/run_kind.h"
#include "run/run_params.h"
#include "scoring/run_context.h"
#include "scoring/score_answer.h"

namespace keyin {

// The database that keeps the result of the kind of run and the run's id among the finished
// runs: the answer database for an exam, the keyin-statistics database for every other kind.
DbConnection& DatabaseOfRun(ResultStores& stores, RunKind kind);

// An exam stores its row in Keyin of the answer database; a mock test stores a TestScore_Student
// row and an offline exam an OfflineScore row in the keyin-statistics database. Returns the
// result values of a second part of those two, which the CSCR file shows; nothing otherwise. The
// practices and kinds 0 and 7 store nothing here; a TestType of no listed kind fails the run
// (RunFailure), since nothing keeps its result. Every failure propagates and ends the run with a
// non-zero status.
std::optional<ResultValues> StoreResultRow(const RunParams& params, ResultStores& stores,
                                           const ScoringOutcome& outcome, const RunContext& context,
                                           StoreMode mode = StoreMode::kRun);

// Writes the CSCR file of a second part into `folder`. The file is the candidate's proof of the
// review result: when it cannot be written the run fails (RunFailure), after its row is stored.
void WriteCscrFile(const std::string& folder, const RunParams& params, const ResultValues& results,
                   const RunContext& context);

}  // namespace keyin
