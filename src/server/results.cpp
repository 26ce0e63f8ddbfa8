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

  // The rows of the sitting's paper, since it opened where the table keeps a time (the offline
  // exam keeps none), read as keyin-tool results reads them.
  ResultsFilter filter;
  filter.paper = Utf8ToUtf16(sitting.ExamPaperNo);
  if (!FilterColumn(*kind, FilterField::kSince).empty()) filter.since = Utf8ToUtf16(opened_at);
  // Which column names the candidate in the row, and what it holds for each of them.
  const bool by_seat = *kind == report::ResultKind::kMock || *kind == report::ResultKind::kOffline;
  std::map<std::string, std::size_t> order;  // key value -> roster position
  for (std::size_t i = 0; i < roster.size(); ++i) {
    order[by_seat ? sitting.SessionNo + roster[i].SeatNo : roster[i].UserID] = i;
  }
  std::unique_ptr<DbConnection> db = OpenResultsStore(program_folder, *kind);
  std::vector<std::pair<std::size_t, std::vector<std::string>>> kept;
  for (const report::StoredResult& row : ReadResults(*db, *kind, filter)) {
    const report::StoredValue* key =
        report::ValueOf(row, by_seat ? report::Role::kSeat : report::Role::kUser);
    auto found = key == nullptr ? order.end() : order.find(Text(*key));
    if (found == order.end()) continue;
    std::vector<std::string> texts;
    for (const report::StoredValue& value : row.values) texts.push_back(Text(value));
    // An exam's rows are those of its exam place and exam.
    if (*kind == report::ResultKind::kExam &&
        (texts[0] != sitting.ExamPlaceNo || texts[1] != sitting.ExamNo)) {
      continue;
    }
    kept.emplace_back(found->second, std::move(texts));
  }
  std::stable_sort(kept.begin(), kept.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [position, texts] : kept) {
    results.rows.push_back(std::move(texts));
    results.seats.push_back(roster[position].SeatNo);
  }
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
