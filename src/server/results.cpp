#include "server/results.h"

#include <algorithm>
#include <map>

#include "platform/code_page.h"
#include "records/results_query.h"
#include "report/csv.h"
#include "report/results.h"
#include "support/number_text.h"

namespace keyin::server {

namespace {

// The kind of stored result the sitting's kind of run keeps, or nothing when it keeps none.
std::optional<report::ResultKind> ResultKindOf(const Sitting& sitting) {
  const RunKind kind = KindOf(sitting);
  if (kind == RunKind::kExam) return report::ResultKind::kExam;
  if (kind == RunKind::kMockTest) return report::ResultKind::kMock;
  if (kind == RunKind::kOfflineExam) return report::ResultKind::kOffline;
  if (IsArticlePractice(kind)) return report::ResultKind::kPractice;
  return std::nullopt;
}

std::string Text(const report::StoredValue& value) { return Utf16ToUtf8(report::ValueText(value)); }

}  // namespace

StoredResults ReadStoredResults(const std::string& program_folder, const Sitting& sitting,
                                const std::vector<Candidate>& roster,
                                const std::string& opened_at) {
  StoredResults results;
  const std::optional<report::ResultKind> kind = ResultKindOf(sitting);
  if (!kind) return results;
  results.table = report::TableOf(*kind);
  for (const std::string_view column : report::StoredColumns(*kind)) {
    results.columns.emplace_back(column);
  }

  std::string list;
  for (const std::string& column : results.columns) list += (list.empty() ? "" : ", ") + column;
  std::string where;
  std::vector<DbValue> values;
  // Which column names the candidate in the row, and what it holds for each of them.
  std::string key_column;
  std::map<std::string, std::size_t> order;  // key value -> roster position
  const auto u16 = [](const std::string& text) { return DbValue(Utf8ToUtf16(text)); };
  switch (*kind) {
    case report::ResultKind::kExam:
      where = "ExamPlaceNo = ? AND ExamNo = ?";
      values = {u16(sitting.ExamPlaceNo), u16(sitting.ExamNo)};
      key_column = "UserID";
      for (std::size_t i = 0; i < roster.size(); ++i) order[roster[i].UserID] = i;
      break;
    case report::ResultKind::kMock:
      where = "Tno = ? AND TestDay >= ?";
      values = {u16(sitting.ExamPaperNo), u16(opened_at)};
      key_column = "TestNum";
      for (std::size_t i = 0; i < roster.size(); ++i) {
        order[sitting.SessionNo + roster[i].SeatNo] = i;
      }
      break;
    case report::ResultKind::kOffline:
      where = "Tno = ?";
      values = {u16(sitting.ExamPaperNo)};
      key_column = "SessionSeatNo";
      for (std::size_t i = 0; i < roster.size(); ++i) {
        order[sitting.SessionNo + roster[i].SeatNo] = i;
      }
      break;
    case report::ResultKind::kPractice:
      where = "tno = ? AND TestDate >= ?";
      values = {u16(sitting.ExamPaperNo), u16(opened_at)};
      key_column = "id";
      for (std::size_t i = 0; i < roster.size(); ++i) order[roster[i].UserID] = i;
      break;
  }
  std::unique_ptr<DbConnection> db = OpenResultsStore(program_folder, *kind);
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
  csv::Writer csv(/*byte_order_mark=*/true);
  const auto record = [&](const std::vector<std::string>& fields) {
    for (const std::string& field : fields) csv.Field(Utf8ToUtf16(field));
    csv.EndRecord();
  };
  record(results.columns);
  for (const std::vector<std::string>& row : results.rows) record(row);
  return Utf16ToUtf8(csv.Take());
}

}  // namespace keyin::server
