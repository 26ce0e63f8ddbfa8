// The stored rows of a sitting, read back from the result table of its kind of run, and their
// CSV export.
#pragma once

#include <string>
#include <vector>

#include "server/sitting.h"

namespace keyin::server {

// The rows as texts: numbers in their shortest form, empty columns as "".
struct StoredResults {
  std::string table;  // empty when the kind of run stores no row
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> seats;  // the SeatNo of each row
};

// The column the room adds to its results: what was done at the seat, and why.
inline constexpr char kActionsColumn[] = "監考紀錄";

// The rows of the sitting's candidates, in roster order, read through the query of keyin-tool
// results: the rows of its paper stored since the sitting opened (opened_at, "yyyy/MM/dd
// HH:mm:ss"; the offline exam's table keeps no time, so all of its paper's), of the roster's
// candidates (by UserID, or by session and seat where the table keeps those), and for an exam of
// its exam place and exam. Throws DatabaseError.
StoredResults ReadStoredResults(const std::string& program_folder, const Sitting& sitting,
                                const std::vector<Candidate>& roster, const std::string& opened_at);

// UTF-8 with a byte-order mark (so spreadsheet programs read the Chinese right), CR LF line
// ends, a header row of the column names; fields holding ",", '"' or a line end are quoted.
// Pure.
std::string ResultsCsv(const StoredResults& results);

}  // namespace keyin::server
