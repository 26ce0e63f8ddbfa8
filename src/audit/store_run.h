// Storing what a scoring run or a replay keeps, whole or not at all: the result row of its kind,
// its practice record and its id among the finished runs go into one transaction of the database
// that holds the row, so that the id is recorded exactly when the result is. The CSCR file of a
// second part follows once that transaction is committed.
#pragma once

#include <optional>
#include <string>

#include "platform/message_box.h"
#include "records/databases.h"
#include "records/finished_runs.h"
#include "records/result_tables.h"
#include "run/run_params.h"
#include "scoring/run_context.h"
#include "scoring/score_answer.h"

namespace keyin {

// Stores the run's result as the storage phase does (records/storage.h, practice/) and records
// `finished` in the same transaction; a transaction of the batch around it (ResultStores in
// groups) makes this one a savepoint within it. Then writes the CSCR file into `cscr_folder`
// after a second part (none when nothing is given).
//
// A run whose id is recorded already stores nothing and fails (RunAlreadyStored); a failure of
// any statement stores nothing (RunEnd, RunFailure or DatabaseError propagate); a CSCR file that
// cannot be written fails the run after its result and its id are stored (RunFailure).
void StoreRun(const RunParams& params, ResultStores& stores, const ScoringOutcome& outcome,
              const RunContext& context, const FinishedRun& finished,
              const std::optional<std::string>& cscr_folder, MessageSink& messages,
              StoreMode mode = StoreMode::kRun);

}  // namespace keyin
