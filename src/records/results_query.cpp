#include "records/results_query.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <stdexcept>

#include "platform/store.h"
#include "records/databases.h"
#include "records/sitting_candidates.h"

namespace keyin {
namespace {

using report::ResultKind;

std::size_t Index(ResultKind kind) { return static_cast<std::size_t>(kind); }

// Per kind: the filter columns in FilterField order, and the columns that order the rows (the
// date, then the keys).
struct TableQuery {
  std::array<std::string_view, 5> filter_columns;  // since compares the dates' column
  std::array<std::string_view, 5> order;
};
constexpr char kRosterClass[] = "SittingCandidates.ClassName";
constexpr std::array<TableQuery, 4> kQueries = {{
    {{kRosterClass, "", "UserID", "ExamPaperNo", "ExamDate"},
     {"ExamDate", "ExamPlaceNo", "ExamNo", "UserID", "ExamPaperNo"}},
    {{kRosterClass, "SessionSeatNo", "", "Tno", ""}, {"SessionSeatNo", "Tno"}},
    {{kRosterClass, "TestNum", "Id", "Tno", "TestDay"}, {"TestDay", "Id", "TestNum", "Tno"}},
    {{"ClassName", "", "id", "tno", "TestDate"}, {"TestDate", "id", "ClassNum", "tno"}},
}};

// How a row of the kind's table meets the candidate of a sitting (sitting_candidates.h): the
// same paper, and the same candidate, or for an offline exam's row the same session and seat.
std::string_view RosterJoin(ResultKind kind) {
  switch (kind) {
    case ResultKind::kExam:
      return "c.UserID = Keyin.UserID AND c.ExamPaperNo = Keyin.ExamPaperNo";
    case ResultKind::kOffline:
      return "c.SessionNo || c.SeatNo = OfflineScore.SessionSeatNo AND "
             "c.ExamPaperNo = OfflineScore.Tno";
    case ResultKind::kMock:
      return "c.UserID = TestScore_Student.Id AND c.ExamPaperNo = TestScore_Student.Tno";
    case ResultKind::kPractice:
      break;
  }
  return {};
}

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

// The number of the digits text[start, start + length), or -1 when one of them is no digit.
int DigitsAt(std::u16string_view text, std::size_t start, std::size_t length) {
  int value = 0;
  for (std::size_t i = start; i < start + length; ++i) {
    if (text[i] < u'0' || text[i] > u'9') return -1;
    value = value * 10 + (text[i] - u'0');
  }
  return value;
}

}  // namespace

std::string_view FilterColumn(ResultKind kind, FilterField field) {
  if (field == FilterField::kSince) field = FilterField::kDates;
  return kQueries[Index(kind)].filter_columns[static_cast<std::size_t>(field)];
}

bool IsDay(std::u16string_view text) {
  if (text.size() != 10 || text[4] != u'/' || text[7] != u'/') return false;
  const int year = DigitsAt(text, 0, 4), month = DigitsAt(text, 5, 2), day = DigitsAt(text, 8, 2);
  if (year < 0 || month < 0 || day < 0) return false;
  return std::chrono::year_month_day{std::chrono::year{year},
                                     std::chrono::month{static_cast<unsigned>(month)},
                                     std::chrono::day{static_cast<unsigned>(day)}}
      .ok();
}

bool IsDateTime(std::u16string_view text) {
  if (text.size() != 19 || !IsDay(text.substr(0, 10)) || text[10] != u' ' || text[13] != u':' ||
      text[16] != u':') {
    return false;
  }
  const int hour = DigitsAt(text, 11, 2), minute = DigitsAt(text, 14, 2),
            second = DigitsAt(text, 17, 2);
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60;
}

std::optional<ResultsQuery> BuildResultsQuery(ResultKind kind, const ResultsFilter& filter) {
  for (const std::optional<std::u16string>* day : {&filter.from, &filter.to}) {
    if (*day && !IsDay(**day)) throw std::invalid_argument("a day is written yyyy/MM/dd");
  }
  if (filter.since && !IsDateTime(*filter.since)) {
    throw std::invalid_argument("a date-time is written yyyy/MM/dd HH:mm:ss");
  }
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
  where(filter.class_name, FilterField::kClass,
        [&](const std::string& column, const std::u16string& value) {
          if (column != kRosterClass) return equal(column, value);
          // The table keeps no class: the roster of a sitting the candidate sat gives it.
          conditions += "EXISTS (SELECT 1 FROM SittingCandidates c WHERE " +
                        std::string(RosterJoin(kind)) + " AND c.ClassName = ?)";
          query.values.emplace_back(value);
        });
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
  // Through Format as the days are, so that a stored time written without leading zeros
  // compares as the time it is.
  where(filter.since, FilterField::kSince,
        [&](const std::string& column, const std::u16string& value) {
          conditions += "Format(" + column + ", 'yyyy/MM/dd HH:mm:ss') >= ?";
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
  // A database from before the rosters were kept knows no class of these rows.
  if (filter.class_name && FilterColumn(kind, FilterField::kClass) == kRosterClass &&
      !store.HasIndex(kSittingCandidatesIndex)) {
    return {};
  }
  std::vector<DbRow> rows = store.Query(query->sql, query->values).TakeAll();
  std::vector<report::StoredResult> results;
  results.reserve(rows.size());
  for (DbRow& row : rows) results.push_back({kind, std::move(row).TakeValues()});
  // Sorted here rather than by the store: one order on every store, and the file store's ORDER
  // BY spent half a second on 100,000 whole rows (bench/results_bench.sh).
  SortRows(kind, results);
  return results;
}

std::vector<report::StoredResult> ReadSelection(const std::string& program_folder,
                                                const std::vector<ResultKind>& kinds,
                                                const ResultsFilter& filter) {
  std::map<bool, std::unique_ptr<DbConnection>> stores;  // by "is the answer database"
  std::vector<report::StoredResult> results;
  std::vector<SittingCandidate> candidates;
  for (const ResultKind kind : kinds) {
    std::unique_ptr<DbConnection>& store = stores[kind == ResultKind::kExam];
    if (!store) {
      store = OpenResultsStore(program_folder, kind);
      std::vector<SittingCandidate> recorded = ReadSittingCandidates(*store);
      candidates.insert(candidates.end(), recorded.begin(), recorded.end());
    }
    std::vector<report::StoredResult> rows = ReadResults(*store, kind, filter);
    results.insert(results.end(), std::make_move_iterator(rows.begin()),
                   std::make_move_iterator(rows.end()));
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const auto& a, const auto& b) { return a.opened_at < b.opened_at; });
  AddRosterPeople(results, candidates);
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
