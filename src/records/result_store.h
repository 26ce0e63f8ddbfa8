// Where the result rows of a kind of run are stored, for programs that read them back (the exam
// room's results table and its CSV export). Reading only: the scoring run writes them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"

namespace keyin {

enum class ResultTable { kKeyin, kTestScoreStudent, kOfflineScore, kTempScore };

// The table the storage phase writes for the kind of run: exactly "5" the exam's Keyin, 3 the
// mock test's TestScore_Student, 4 OfflineScore, 1 and 2 the practice record TempScore; nothing
// for every other kind (they store no row).
std::optional<ResultTable> ResultTableOf(std::u16string_view TestType);

std::string TableName(ResultTable table);

// The table's columns in the order the databases are created with.
std::vector<std::string> TableColumns(ResultTable table);

// Opens the database that holds the table, with its password. Throws DatabaseError when the
// database is missing or does not open.
std::unique_ptr<DbConnection> OpenResultStore(const std::string& program_folder, ResultTable table);

}  // namespace keyin
