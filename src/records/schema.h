// The tables of the two databases, as `keyin-tool init-db` creates them. Numbers are NUMERIC,
// texts and date-times TEXT; no column has a default, so a column that no statement wrote stays
// empty and "part 1 not taken" differs from "part 1 scored 0".
//
// Each table that the storage phase searches has an index on the keys it searches by, so that a
// lookup reads one candidate's rows, not the table, while it holds the writers' lock. A mock
// test's second part also compares Format(TestDay, ...), which no index serves; the index on
// (Id, TestNum, Tno, TestDay) leaves it one candidate's rows to compare, newest first.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"

namespace keyin {

// Vorkeyin.mdb: TestScore_Student, OfflineScore, TempScore, and beside them FinishedRuns
// (finished_runs.h) and SittingCandidates (sitting_candidates.h).
const std::vector<std::string>& KeyinDatabaseSchema();
// ANS.mdb: Keyin, and beside it FinishedRuns and SittingCandidates.
const std::vector<std::string>& AnswerDatabaseSchema();
// Both in one database, as a server keeps them: every table once.
const std::vector<std::string>& OneDatabaseSchema();

// Adds the table's lookup index, `<table>_Lookup`, to a database made before it had one. A
// catalogue read when the index is there, as it is after the first run; otherwise it is created
// under the writers' lock, so that of many runs at once one creates it and the others find it. The
// lookups give the same rows without it, so a database that refuses it (a role that may not create
// indexes) is used as it is. Precondition: the table has a lookup index.
void AddLookupIndexWhenMissing(DbConnection& db, std::string_view table);

}  // namespace keyin
