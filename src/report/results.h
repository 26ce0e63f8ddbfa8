// The stored results that teachers read: the four kinds of run that keep a row, the columns of
// their tables, and what each column means, so every format can show a row as it is stored.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace keyin::report {

// The kinds of run that store a result, each in a table of its own.
enum class ResultKind { kExam, kOffline, kMock, kPractice };
inline constexpr std::array<ResultKind, 4> kAllKinds = {ResultKind::kExam, ResultKind::kOffline,
                                                        ResultKind::kMock, ResultKind::kPractice};

// "exam", "offline", "mock", "practice": the names on the command line and in exports.
std::string_view KindName(ResultKind kind);
std::optional<ResultKind> KindNamed(std::string_view name);
// The kind as teachers call it: 考試, 離線考試, 模擬測驗, 練習.
std::u16string_view KindLabel(ResultKind kind);
// Keyin, OfflineScore, TestScore_Student, TempScore.
std::string_view TableOf(ResultKind kind);
// The columns of the kind's table, in the order the table is created with.
const std::vector<std::string_view>& StoredColumns(ResultKind kind);

// What a teacher reads at the head of a stored column, in Traditional Chinese (UTF-8): the same
// meaning has the same words in every table ("第一部分速度" for Score1, "覆核速度" for the reviewed
// speed of an exam, a mock test and an offline exam). The column's own name for one this list
// does not know.
std::string_view ColumnLabel(std::string_view stored);

// A stored value: empty (NULL), a number or a text, as the store gives it.
using StoredValue = std::variant<std::monostate, double, std::u16string>;

// One stored row: a value per column of StoredColumns(kind), in that order.
struct StoredResult {
  ResultKind kind = ResultKind::kExam;
  std::vector<StoredValue> values;
  // Where the row keeps no name or class of its own (exams keep neither; offline exams and mock
  // tests no class): the candidate's, from the roster of the exam room's sitting that had it.
  StoredValue roster_name{};
  StoredValue roster_class{};
};

// What a column means, where the kind's table has one.
enum class Role {
  kUser,    // the test-taker's ID
  kName,    // the test-taker's name
  kClass,   // the class
  kSeat,    // the seat; joined with the session for mock tests and offline exams
  kPaper,   // the paper; for practice rows the paper and the part ("P001-1")
  kDate,    // the date and time of the last write
  kScore1,  // test part 1: speed and error rate
  kErr1,
  kScore2,  // test part 2
  kErr2,
  kScore,  // the reviewed result; for practice rows the speed and error rate of the run
  kErr,
};

// The value of the row in the column of that meaning, or nothing when its table has none; for the
// name and the class, the roster's when the row has none.
const StoredValue* ValueOf(const StoredResult& result, Role role);
// The texts of wrong words the row stores (both parts of a mock test, a practice row's one).
std::vector<std::u16string_view> WrongWordsOf(const StoredResult& result);

// A value as every format writes it: nothing for an empty value, a number as the report files
// write numbers (shortest form, at most 15 significant digits: 42, 5.2, 0), a text unchanged.
std::u16string ValueText(const StoredValue& value);
// The number of a value that is stored as a number; nothing for an empty value or a text.
std::optional<double> NumberOf(const StoredValue* value);

}  // namespace keyin::report

namespace keyin::report {

// The rows as people read them: one column per meaning (類別, 帳號, 姓名, ... 成績, 錯誤率), values
// as ValueText writes them; a column that is empty in every row is left out.
struct SummaryTable {
  struct Column {
    std::u16string label;
    bool numeric = false;
  };
  std::vector<Column> columns;
  std::vector<std::vector<std::u16string>> rows;
};
SummaryTable Summarize(const std::vector<const StoredResult*>& results);

}  // namespace keyin::report
