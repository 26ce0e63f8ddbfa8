// The table of finished runs, beside the result tables: the id of every scoring run and replay that
// reached its end, written in the same transaction as the run's result, in the database that
// holds it. A run killed between storing its result and writing its log line leaves its id here,
// so whether a run stored its result can always be told afterwards; and since an id is recorded
// once, a part rerun under the same id cannot be stored twice, even when both runs store at the
// same moment.
//
//   FinishedRuns (RunId TEXT NOT NULL, Program TEXT, RunTime TEXT, FinishedAt TEXT)
//   UNIQUE INDEX FinishedRuns_RunId (RunId)
//
// Where: the answer database for an exam, the keyin-statistics database for every other kind
// (the kinds that store no row, 0 and 7, record their id there at their end); on a server the one
// database. Times are texts of kStoredDateTimePattern.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/database.h"
#include "run/run_end.h"
#include "run/run_kind.h"

namespace keyin {

struct FinishedRun {
  std::string id;        // the run's id, as its log line gives it
  std::string program;   // keyin-scorer, or keyin-tool rescore for a replay
  DateTime time;         // the run's one time, the log line's "time"
  DateTime finished_at;  // when its result was stored
  friend bool operator==(const FinishedRun&, const FinishedRun&) = default;
};

// The statements that create the table and its index, as init-db runs them.
const std::vector<std::string>& FinishedRunsSchema();

// Adds the table to a database made before it, on the files and on a server: a catalogue read
// when it is there, otherwise created under the writers' lock. Throws DatabaseError when it
// cannot be added: a run that could not record its id must not store its result.
void AddFinishedRunsWhenMissing(DbConnection& db);

// The run recorded under the id, or nothing; nothing too in a database that has no table of
// finished runs yet. Throws DatabaseError.
std::optional<FinishedRun> FindFinishedRun(DbConnection& db, std::string_view id);

// Another run with that id stored its result before.
class RunAlreadyStored : public RunFailure {
 public:
  using RunFailure::RunFailure;
};

// Records the run. Call it inside the transaction that stores the run's result, after
// AddFinishedRunsWhenMissing: throws RunAlreadyStored when the id is recorded already, and the
// transaction must then be rolled back, so that the result is not stored twice. Throws
// DatabaseError.
void RecordFinishedRun(DbConnection& db, const FinishedRun& run);

// Opens the database that keeps the results of the kind and its finished runs: the answer
// database for an exam, the keyin-statistics database for every other kind (one database on a
// server). Throws ResultsStoreMissing (results_query.h) when it does not exist or the server
// cannot be reached, DatabaseError when it does not open.
std::unique_ptr<DbConnection> OpenStoreOfRun(const std::string& program_folder, RunKind kind);

// Whether a run of the kind under the id stored its result: true once its id is recorded (a run
// recorded it in the same transaction as its result), false when no run of that id has stored
// one (it failed, it was killed before its result was committed, or it has not run). Kinds that
// store no row (0, 7) count as stored once they reached their end. `program_folder` is the one
// the scorer ran with (its KEYIN_HOME), and KEYIN_DATABASE_URL in this process chooses the
// store, as it does for the scorer. Throws ResultsStoreMissing and DatabaseError as
// OpenStoreOfRun does, or DatabaseError when the database cannot be read: then it cannot tell.
//
//   if (!RunWasStored(home, RunKind::kMockTest, job_id)) rerun the part under job_id
bool RunWasStored(const std::string& program_folder, RunKind kind, std::string_view run_id);

}  // namespace keyin
