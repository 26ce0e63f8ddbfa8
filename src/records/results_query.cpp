#include "records/results_query.h"

#include <array>
#include <chrono>

#include "platform/store.h"
#include "records/databases.h"

namespace keyin {
namespace {

using report::ResultKind;

std::size_t Index(ResultKind kind) { return static_cast<std::size_t>(kind); }

// Per kind: the filter columns in FilterField order, and the columns that order the rows (the
// date, then the keys).
struct TableQuery {
  std::array<std::string_view, 5> filter_columns;
  std::array<std::string_view, 5> order;
};
constexpr std::array<TableQuery, 4> kQueries = {{
    {{"", "", "UserID", "ExamPaperNo", "ExamDate"},
     {"ExamDate", "ExamPlaceNo", "ExamNo", "UserID", "ExamPaperNo"}},
    {{"", "SessionSeatNo", "", "Tno", ""}, {"SessionSeatNo", "Tno"}},
    {{"", "TestNum", "Id", "Tno", "TestDay"}, {"TestDay", "Id", "TestNum", "Tno"}},
    {{"ClassName", "", "id", "tno", "TestDate"}, {"TestDate", "id", "ClassNum", "tno"}},
}};

// Orders stored values as the file store does: empty first, then numbers, then texts by their
// code units. The same on every store, whatever its collation.
int Compare(const DbValue& a, const DbValue& b) {
  if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1;
  if (const auto* number = std::get_if<double>(&a)) {
    const double other = std::get<double>(b);
    return *number < other ? -1 : *number > other ? 1 : 0;
  }
  if (const auto* text = std::get_if<std::u16string>(&a))
    return text->compare(std::get<std::u16string>(b));
  return 0;
}

// Sorts the rows by the kind's order columns, keeping the store's order among equal rows.
void SortRows(ResultKind kind, std::vector<report::StoredResult>& rows) {
  std::vector<std::size_t> order;
  const std::vector<std::string_view>& columns = report::StoredColumns(kind);
  for (const std::string_view name : kQueries[Index(kind)].order) {
    for (std::size_t i = 0; i < columns.size() && !name.empty(); ++i) {
      if (columns[i] == name) order.push_back(i);
    }
  }
  // Sorting positions moves two words per step instead of whole rows.
  std::vector<std::size_t> positions(rows.size());
  for (std::size_t i = 0; i < positions.size(); ++i) positions[i] = i;
  std::stable_sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
    for (const std::size_t column : order) {
      if (const int c = Compare(rows[a].values[column], rows[b].values[column])) return c < 0;
    }
    return false;
  });
  std::vector<report::StoredResult> sorted;
  sorted.reserve(rows.size());
  for (const std::size_t position : positions) sorted.push_back(std::move(rows[position]));
  rows = std::move(sorted);
}

std::size_t CodePoints(std::u16string_view text) {
  std::size_t count = 0;
  for (const char16_t unit : text) count += unit < 0xDC00 || unit > 0xDFFF;
  return count;
}

}  // namespace

std::string_view FilterColumn(ResultKind kind, FilterField field) {
  return kQueries[Index(kind)].filter_columns[static_cast<std::size_t>(field)];
}

bool IsDay(std::u16string_view text) {
  if (text.size() != 10 || text[4] != u'/' || text[7] != u'/') return false;
  int fields[3] = {0, 0, 0};
  const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
  for (std::size_t f = 0; f < 3; ++f) {
    for (std::size_t i = starts[f]; i < starts[f] + lengths[f]; ++i) {
      if (text[i] < u'0' || text[i] > u'9') return false;
      fields[f] = fields[f] * 10 + (text[i] - u'0');
    }
  }
  using namespace std::chrono;
  return year_month_day{year{fields[0]}, month{static_cast<unsigned>(fields[1])},
                        day{static_cast<unsigned>(fields[2])}}
      .ok();
}

std::optional<ResultsQuery> BuildResultsQuery(ResultKind kind, const ResultsFilter& filter) {
  ResultsQuery query;
  std::string conditions;
  bool possible = true;
  // Adds "<condition>" for a filter that is given, or marks the query impossible when the
  // table has no column for it.
  const auto where = [&](const std::optional<std::u16string>& value, FilterField field, auto add) {
    if (!value) return;
    const std::string_view column = FilterColumn(kind, field);
    if (column.empty()) {
      possible = false;
      return;
    }
    conditions += conditions.empty() ? " WHERE " : " AND ";
    add(std::string(column), *value);
  };
  const auto equal = [&](const std::string& column, const std::u16string& value) {
    conditions += column + " = ?";
    query.values.emplace_back(value);
  };
  where(filter.class_name, FilterField::kClass, equal);
  where(filter.session, FilterField::kSession,
        [&](const std::string& column, const std::u16string& value) {
          conditions += "substr(" + column + ", 1, ?) = ?";
          query.values.emplace_back(static_cast<double>(CodePoints(value)));
          query.values.emplace_back(value);
        });
  where(filter.user, FilterField::kUser, equal);
  where(filter.paper, FilterField::kPaper,
        [&](const std::string& column, const std::u16string& value) {
          if (kind != ResultKind::kPractice) return equal(column, value);
          // A practice row names the paper and the part it typed.
          conditions += column + " IN (?, ?)";
          query.values.emplace_back(value + u"-1");
          query.values.emplace_back(value + u"-2");
        });
  where(filter.from, FilterField::kDates,
        [&](const std::string& column, const std::u16string& value) {
          conditions += "Format(" + column + ", 'yyyy/MM/dd') >= ?";
          query.values.emplace_back(value);
        });
  where(filter.to, FilterField::kDates,
        [&](const std::string& column, const std::u16string& value) {
          conditions += "Format(" + column + ", 'yyyy/MM/dd') <= ?";
          query.values.emplace_back(value);
        });
  if (!possible) return std::nullopt;

  query.sql = "SELECT ";
  const std::vector<std::string_view>& columns = report::StoredColumns(kind);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) query.sql += ", ";
    query.sql += columns[i];
  }
  query.sql += " FROM ";
  query.sql += report::TableOf(kind);
  query.sql += conditions;
  return query;
}

std::vector<report::StoredResult> ReadResults(DbConnection& store, ResultKind kind,
                                              const ResultsFilter& filter) {
  const std::optional<ResultsQuery> query = BuildResultsQuery(kind, filter);
  if (!query) return {};
  std::vector<DbRow> rows = store.Query(query->sql, query->values).TakeAll();
  std::vector<report::StoredResult> results;
  results.reserve(rows.size());
  for (DbRow& row : rows) results.push_back({kind, std::move(row).TakeValues()});
  // Sorted here rather than by the store: one order on every store, and the file store's ORDER
  // BY spent half a second on 100,000 whole rows (bench/results_bench.sh).
  SortRows(kind, results);
  return results;
}

std::unique_ptr<DbConnection> OpenResultsStore(const std::string& program_folder, ResultKind kind) {
  const PathTranslator paths(program_folder);
  const bool answers = kind == ResultKind::kExam;
  const std::string path = answers ? AnswerDatabasePath(paths) : KeyinDatabasePath(paths);
  try {
    return OpenStore(path, answers ? kAnswerDatabasePassword : kKeyinDatabasePassword);
  } catch (const StoreUnavailable& unavailable) {
    throw ResultsStoreMissing(
        (answers ? "answer database unavailable: " : "keyin-statistics database unavailable: ") +
        std::string(unavailable.what()));
  }
}

}  // namespace keyin
