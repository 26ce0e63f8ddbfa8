#include "records/finished_runs.h"

#include "platform/code_page.h"
#include "records/results_query.h"

namespace keyin {
namespace {

constexpr char kIndex[] = "FinishedRuns_RunId";
constexpr char kColumns[] = "(RunId TEXT NOT NULL, Program TEXT, RunTime TEXT, FinishedAt TEXT)";
// A unique index rather than a primary key: the one way both stores give it a name that HasIndex
// can look for, and unique all the same.
constexpr char kCreateIndex[] =
    "CREATE UNIQUE INDEX IF NOT EXISTS FinishedRuns_RunId ON "
    "FinishedRuns (RunId)";

DbValue Text(std::string_view text) { return Utf8ToUtf16(text); }
DbValue Time(const DateTime& time) { return FormatDateTimeText(time, kStoredDateTimePattern); }

std::string TextOf(const DbValue& value) {
  const auto* text = std::get_if<std::u16string>(&value);
  return text == nullptr ? std::string() : Utf16ToUtf8(*text);
}

std::optional<FinishedRun> Lookup(DbConnection& db, std::string_view id) {
  const DbRows found = db.Query(
      "SELECT RunId, Program, RunTime, FinishedAt FROM FinishedRuns WHERE RunId = ?", {Text(id)});
  if (found.AtEnd()) return std::nullopt;
  const DbRow& row = found.First();
  return FinishedRun{
      .id = TextOf(row["RunId"]),
      .program = TextOf(row["Program"]),
      .time = ParseDateTime(TextOf(row["RunTime"])).value_or(DateTime{}),
      .finished_at = ParseDateTime(TextOf(row["FinishedAt"])).value_or(DateTime{}),
  };
}

}  // namespace

const std::vector<std::string>& FinishedRunsSchema() {
  static const std::vector<std::string> statements = {
      std::string("CREATE TABLE FinishedRuns ") + kColumns,
      kCreateIndex,
  };
  return statements;
}

void AddFinishedRunsWhenMissing(DbConnection& db) {
  if (db.HasIndex(kIndex)) return;
  try {
    DbTransaction transaction(db);
    db.Execute(std::string("CREATE TABLE IF NOT EXISTS FinishedRuns ") + kColumns);
    db.Execute(kCreateIndex);
    transaction.Commit();
  } catch (const DatabaseError& error) {
    throw DatabaseError(std::string("cannot add the table of finished runs: ") + error.what());
  }
}

std::optional<FinishedRun> FindFinishedRun(DbConnection& db, std::string_view id) {
  if (!db.HasIndex(kIndex)) return std::nullopt;
  return Lookup(db, id);
}

void RecordFinishedRun(DbConnection& db, const FinishedRun& run) {
  if (const std::optional<FinishedRun> found = Lookup(db, run.id)) {
    throw RunAlreadyStored("run id \"" + run.id + "\" was stored already (" + found->program +
                           ", " + FormatDateTime(found->time, kStoredDateTimePattern) +
                           "): nothing was stored");
  }
  db.Execute("INSERT INTO FinishedRuns (RunId, Program, RunTime, FinishedAt) VALUES (?, ?, ?, ?)",
             {Text(run.id), Text(run.program), Time(run.time), Time(run.finished_at)});
}

std::unique_ptr<DbConnection> OpenStoreOfRun(const std::string& program_folder, RunKind kind) {
  // The store of the exam rows is the answer database; that of the mock-test rows stands for
  // the keyin-statistics database, which keeps every other kind.
  return OpenResultsStore(program_folder, kind == RunKind::kExam ? report::ResultKind::kExam
                                                                 : report::ResultKind::kMock);
}

bool RunWasStored(const std::string& program_folder, RunKind kind, std::string_view run_id) {
  return FindFinishedRun(*OpenStoreOfRun(program_folder, kind), run_id).has_value();
}

}  // namespace keyin
