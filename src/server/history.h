// Teachers' results across every room and sitting: the stored rows of every kind that a selection
// takes (as keyin-tool results reads them, with names and classes from the rosters), as a table
// with Chinese heads, as CSV and as the class report; one candidate's history over time; and the
// sittings the rooms have held.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/results_query.h"
#include "report/results.h"

namespace keyin::server {

struct HistorySelection {
  std::vector<report::ResultKind> kinds;  // every kind when empty
  ResultsFilter filter;
  std::string sitting;  // a recorded sitting's id: only its candidates' rows of its paper
  // What was asked, as label and value pairs for the class report (類別: 模擬測驗, 班級: 甲班).
  std::vector<std::pair<std::u16string, std::u16string>> labels;
};

// The selection of a request's query (kind, class, user, paper, from, to as yyyy/MM/dd or
// yyyy-MM-dd, sitting). Throws RoomError 400 naming what is wrong.
HistorySelection ParseHistorySelection(
    const std::function<std::optional<std::string>(std::string_view)>& query);

// The rows, oldest first within each kind. Throws DatabaseError (ResultsStoreMissing too).
std::vector<report::StoredResult> ReadHistory(const std::string& program_folder,
                                              const HistorySelection& selection);

// {"columns": [{"label", "numeric"}], "rows": [[text ...]], "count"}: the rows as people read them.
nlohmann::json HistoryTable(const std::vector<report::StoredResult>& results);
// The same table as CSV: UTF-8 with a byte-order mark, or code page 950 (nothing when a
// character has no place in it).
std::optional<std::string> HistoryCsv(const std::vector<report::StoredResult>& results, bool cp950);
// The class report of keyin-tool results --format html.
std::string HistoryReport(const std::vector<report::StoredResult>& results,
                          const HistorySelection& selection, const std::string& generated_at);

// One candidate over time: {"UserID", "StuName", "ClassName", "points": [{"date", "kind",
// "paper", "speed", "error_rate"}], "missed": [{"character", "count"}]}, the points oldest
// first, the characters missed most (at most 20) first.
nlohmann::json CandidateHistory(const std::vector<report::StoredResult>& results,
                                const std::string& user_id);

// The sittings recorded beside the results, newest first: [{"id", "room", "opened_at", "kind",
// "paper", "session", "candidates"}]. Throws DatabaseError.
nlohmann::json RecordedSittings(const std::string& program_folder);

}  // namespace keyin::server
