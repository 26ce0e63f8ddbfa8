#include "records/schema.h"

#include <algorithm>
#include <cassert>

#include "records/finished_runs.h"
#include "records/sitting_candidates.h"

namespace keyin {
namespace {

struct LookupIndex {
  std::string_view table;
  std::string_view name;
  std::string_view create;  // CREATE INDEX IF NOT EXISTS ...
};

const std::vector<LookupIndex>& LookupIndexes() {
  // Each in the order of the keys of its lookups: a lookup by a leading part of them is served.
  static const std::vector<LookupIndex> indexes = {
      {"Keyin", "Keyin_Lookup",
       "CREATE INDEX IF NOT EXISTS Keyin_Lookup ON Keyin (ExamPlaceNo, ExamNo, UserID, "
       "ExamPaperNo)"},
      {"TestScore_Student", "TestScore_Student_Lookup",
       "CREATE INDEX IF NOT EXISTS TestScore_Student_Lookup ON TestScore_Student (Id, TestNum, "
       "Tno, TestDay)"},
      {"OfflineScore", "OfflineScore_Lookup",
       "CREATE INDEX IF NOT EXISTS OfflineScore_Lookup ON OfflineScore (SessionSeatNo, Tno)"},
      {"TempScore", "TempScore_Lookup",
       "CREATE INDEX IF NOT EXISTS TempScore_Lookup ON TempScore (id, tno)"},
  };
  return indexes;
}

const LookupIndex& LookupIndexOf(std::string_view table) {
  const auto& indexes = LookupIndexes();
  const auto found =
      std::find_if(indexes.begin(), indexes.end(),
                   [table](const LookupIndex& index) { return index.table == table; });
  assert(found != indexes.end());
  return *found;
}

// The database's own tables, then the tables of finished runs and of who sat which sitting,
// which every database has.
std::vector<std::string> WithFinishedRuns(std::vector<std::string> statements) {
  for (const auto* beside : {&FinishedRunsSchema(), &SittingCandidatesSchema()}) {
    statements.insert(statements.end(), beside->begin(), beside->end());
  }
  return statements;
}

}  // namespace

void AddLookupIndexWhenMissing(DbConnection& db, std::string_view table) {
  const LookupIndex& index = LookupIndexOf(table);
  try {
    if (db.HasIndex(index.name)) return;
    DbTransaction transaction(db);
    db.Execute(index.create);
    transaction.Commit();
  } catch (const DatabaseError&) {
    // Used without the index: slower lookups, the same rows. A store that fails here fails the
    // storing statements next, which report it as they do any failure.
  }
}

const std::vector<std::string>& KeyinDatabaseSchema() {
  static const std::vector<std::string> statements = WithFinishedRuns({
      "CREATE TABLE TestScore_Student (Id TEXT, Stuname TEXT, TestNum TEXT, Tno TEXT, "
      "Score1 NUMERIC, Err1 NUMERIC, Score2 NUMERIC, Err2 NUMERIC, Score NUMERIC, Err NUMERIC, "
      "SubtractScore TEXT, ErWords1 TEXT, ErWords2 TEXT, Keyin TEXT, TestDay TEXT, "
      "LocalHostName TEXT)",
      "CREATE TABLE OfflineScore (SessionSeatNo TEXT, Tno TEXT, Score1 NUMERIC, Err1 NUMERIC, "
      "Score2 NUMERIC, Err2 NUMERIC, Score3 NUMERIC, Err3 NUMERIC)",
      "CREATE TABLE TempScore (id TEXT, StuName TEXT, ClassName TEXT, ClassNum TEXT, Topic TEXT, "
      "UseTime TEXT, TotTime TEXT, SubtractScore NUMERIC, tno TEXT, Keyin TEXT, "
      "TotalChr NUMERIC, RightChr NUMERIC, ErrChr NUMERIC, ErrPercen NUMERIC, Average NUMERIC, "
      "TestDate TEXT, ErWords TEXT, LocalHostName TEXT)",
      std::string(LookupIndexOf("TestScore_Student").create),
      std::string(LookupIndexOf("OfflineScore").create),
      std::string(LookupIndexOf("TempScore").create),
  });
  return statements;
}

const std::vector<std::string>& AnswerDatabaseSchema() {
  static const std::vector<std::string> statements = WithFinishedRuns({
      "CREATE TABLE Keyin (ExamPlaceNo TEXT, ExamNo TEXT, UserID TEXT, ExamPaperNo TEXT, "
      "Score1 NUMERIC, Err1 NUMERIC, Score2 NUMERIC, Err2 NUMERIC, Score NUMERIC, Err NUMERIC, "
      "ExamDate TEXT)",
      std::string(LookupIndexOf("Keyin").create),
  });
  return statements;
}

const std::vector<std::string>& OneDatabaseSchema() {
  static const std::vector<std::string> statements = [] {
    std::vector<std::string> all = KeyinDatabaseSchema();
    for (const std::string& statement : AnswerDatabaseSchema()) {
      if (std::find(all.begin(), all.end(), statement) == all.end()) all.push_back(statement);
    }
    return all;
  }();
  return statements;
}

}  // namespace keyin
