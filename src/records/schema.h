// The tables of the two databases, as `keyin-tool init-db` creates them. Numbers are NUMERIC,
// texts and date-times TEXT; no column has a default, so a column that no statement wrote stays
// empty and "part 1 not taken" differs from "part 1 scored 0".
#pragma once

#include <string>
#include <vector>

namespace keyin {

// Vorkeyin.mdb: TestScore_Student, OfflineScore, TempScore.
const std::vector<std::string>& KeyinDatabaseSchema();
// ANS.mdb: Keyin.
const std::vector<std::string>& AnswerDatabaseSchema();

}  // namespace keyin
