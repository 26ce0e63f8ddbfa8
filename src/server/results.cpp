#include "server/results.h"

#include <algorithm>
#include <map>

#include "platform/code_page.h"
#include "records/result_store.h"
#include "support/number_text.h"

namespace keyin::server {

namespace {

std::string Text(const DbValue& value) {
  if (const auto* number = std::get_if<double>(&value)) return Utf16ToUtf8(FormatNumber(*number));
  if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
  return {};
}

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

StoredResults ReadStoredResults(const std::string& program_folder, const Sitting& sitting,
                                const std::vector<Candidate>& roster,
                                const std::string& opened_at) {
  StoredResults results;
  const std::optional<ResultTable> table = ResultTableOf(Utf8ToUtf16(sitting.TestType));
  if (!table) return results;
  results.table = TableName(*table);
  results.columns = TableColumns(*table);

  std::string list;
  for (const std::string& column : results.columns) list += (list.empty() ? "" : ", ") + column;
  std::string where;
  std::vector<DbValue> values;
  // Which column names the candidate in the row, and what it holds for each of them.
  std::string key_column;
  std::map<std::string, std::size_t> order;  // key value -> roster position
  const auto u16 = [](const std::string& text) { return DbValue(Utf8ToUtf16(text)); };
  switch (*table) {
    case ResultTable::kKeyin:
      where = "ExamPlaceNo = ? AND ExamNo = ?";
      values = {u16(sitting.ExamPlaceNo), u16(sitting.ExamNo)};
      key_column = "UserID";
      for (std::size_t i = 0; i < roster.size(); ++i) order[roster[i].UserID] = i;
      break;
    case ResultTable::kTestScoreStudent:
      where = "Tno = ? AND TestDay >= ?";
      values = {u16(sitting.ExamPaperNo), u16(opened_at)};
      key_column = "TestNum";
      for (std::size_t i = 0; i < roster.size(); ++i) {
        order[sitting.SessionNo + roster[i].SeatNo] = i;
      }
      break;
    case ResultTable::kOfflineScore:
      where = "Tno = ?";
      values = {u16(sitting.ExamPaperNo)};
      key_column = "SessionSeatNo";
      for (std::size_t i = 0; i < roster.size(); ++i) {
        order[sitting.SessionNo + roster[i].SeatNo] = i;
      }
      break;
    case ResultTable::kTempScore:
      where = "tno = ? AND TestDate >= ?";
      values = {u16(sitting.ExamPaperNo), u16(opened_at)};
      key_column = "id";
      for (std::size_t i = 0; i < roster.size(); ++i) order[roster[i].UserID] = i;
      break;
  }
  std::unique_ptr<DbConnection> db = OpenResultStore(program_folder, *table);
  const DbRows rows =
      db->Query("SELECT " + list + " FROM " + results.table + " WHERE " + where, values);
  std::vector<std::pair<std::size_t, std::vector<std::string>>> kept;
  for (const DbRow& row : rows.All()) {
    auto found = order.find(Text(row[key_column]));
    if (found == order.end()) continue;
    std::vector<std::string> texts;
    for (const DbValue& value : row.Values()) texts.push_back(Text(value));
    kept.emplace_back(found->second, std::move(texts));
  }
  std::stable_sort(kept.begin(), kept.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [position, texts] : kept) results.rows.push_back(std::move(texts));
  return results;
}

std::string ResultsCsv(const StoredResults& results) {
  std::string csv = "\xEF\xBB\xBF";
  const auto line = [&](const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) csv += (i ? "," : "") + CsvField(fields[i]);
    csv += "\r\n";
  };
  line(results.columns);
  for (const std::vector<std::string>& row : results.rows) line(row);
  return csv;
}

}  // namespace keyin::server
