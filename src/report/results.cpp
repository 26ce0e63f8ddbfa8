#include "report/results.h"

#include <algorithm>
#include <cassert>
#include <cctype>

#include "run/run_kind.h"
#include "support/number_text.h"

namespace keyin::report {
namespace {

std::size_t Index(ResultKind kind) { return static_cast<std::size_t>(kind); }

// Per kind, the stored column that holds each role (empty: the table has none), in Role order.
using RoleColumns = std::array<std::string_view, 12>;
constexpr std::array<RoleColumns, 4> kRoleColumns = {{
    // user, name, class, seat, paper, date, Score1, Err1, Score2, Err2, score, err
    {"UserID", "", "", "", "ExamPaperNo", "ExamDate", "Score1", "Err1", "Score2", "Err2", "Score",
     "Err"},
    {"", "", "", "SessionSeatNo", "Tno", "", "Score1", "Err1", "Score2", "Err2", "Score3", "Err3"},
    {"Id", "Stuname", "", "TestNum", "Tno", "TestDay", "Score1", "Err1", "Score2", "Err2", "Score",
     "Err"},
    {"id", "StuName", "ClassName", "ClassNum", "tno", "TestDate", "", "", "", "", "Average",
     "ErrPercen"},
}};

constexpr std::array<std::array<std::string_view, 2>, 4> kWrongWordColumns = {{
    {"", ""},
    {"", ""},
    {"ErWords1", "ErWords2"},
    {"ErWords", ""},
}};

int ColumnIndex(ResultKind kind, std::string_view column) {
  if (column.empty()) return -1;
  const std::vector<std::string_view>& columns = StoredColumns(kind);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i] == column) return static_cast<int>(i);
  }
  assert(false && "a role names a column the table does not have");
  return -1;
}

const StoredValue* At(const StoredResult& result, int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= result.values.size()) return nullptr;
  return &result.values[static_cast<std::size_t>(index)];
}

}  // namespace

std::string_view KindName(ResultKind kind) {
  constexpr std::array<std::string_view, 4> kNames = {"exam", "offline", "mock", "practice"};
  return kNames[Index(kind)];
}

std::optional<ResultKind> KindNamed(std::string_view name) {
  for (const ResultKind kind : kAllKinds) {
    if (KindName(kind) == name) return kind;
  }
  return std::nullopt;
}

std::u16string_view KindLabel(ResultKind kind) {
  // The table of practice records keeps both article practices.
  static const std::array<std::u16string_view, 4> kLabels = {
      keyin::KindLabel(RunKind::kExam), keyin::KindLabel(RunKind::kOfflineExam),
      keyin::KindLabel(RunKind::kMockTest), kPracticeLabel};
  return kLabels[Index(kind)];
}

std::string_view TableOf(ResultKind kind) {
  constexpr std::array<std::string_view, 4> kTables = {"Keyin", "OfflineScore", "TestScore_Student",
                                                       "TempScore"};
  return kTables[Index(kind)];
}

const std::vector<std::string_view>& StoredColumns(ResultKind kind) {
  static const std::array<std::vector<std::string_view>, 4> kColumns = {{
      {"ExamPlaceNo", "ExamNo", "UserID", "ExamPaperNo", "Score1", "Err1", "Score2", "Err2",
       "Score", "Err", "ExamDate"},
      {"SessionSeatNo", "Tno", "Score1", "Err1", "Score2", "Err2", "Score3", "Err3"},
      {"Id", "Stuname", "TestNum", "Tno", "Score1", "Err1", "Score2", "Err2", "Score", "Err",
       "SubtractScore", "ErWords1", "ErWords2", "Keyin", "TestDay", "LocalHostName"},
      {"id", "StuName", "ClassName", "ClassNum", "Topic", "UseTime", "TotTime", "SubtractScore",
       "tno", "Keyin", "TotalChr", "RightChr", "ErrChr", "ErrPercen", "Average", "TestDate",
       "ErWords", "LocalHostName"},
  }};
  return kColumns[Index(kind)];
}

std::string_view ColumnLabel(std::string_view stored) {
  static const std::array<std::pair<std::string_view, std::string_view>, 37> kLabels = {{
      {"ExamPlaceNo", "考場"},
      {"ExamNo", "考試編號"},
      {"UserID", "考生編號"},
      {"Id", "考生編號"},
      {"StuName", "姓名"},
      {"ClassName", "班級"},
      {"ClassNum", "座號"},
      {"SessionSeatNo", "場次座號"},
      {"TestNum", "場次座號"},
      {"ExamPaperNo", "試卷"},
      {"Tno", "試卷"},
      {"Topic", "題目"},
      {"Score1", "第一部分速度"},
      {"Err1", "第一部分錯誤率"},
      {"Score2", "第二部分速度"},
      {"Err2", "第二部分錯誤率"},
      {"Score", "覆核速度"},
      {"Err", "覆核錯誤率"},
      {"Score3", "覆核速度"},
      {"Err3", "覆核錯誤率"},
      {"Average", "速度"},
      {"ErrPercen", "錯誤率"},
      {"TotalChr", "總字數"},
      {"RightChr", "正確字數"},
      {"ErrChr", "錯誤字數"},
      {"UseTime", "使用時間（秒）"},
      {"TotTime", "測驗時間（秒）"},
      {"SubtractScore", "每錯扣分"},
      {"ErWords1", "第一部分錯字"},
      {"ErWords2", "第二部分錯字"},
      {"ErWords", "錯字"},
      {"Keyin", "輸入法"},
      {"ExamDate", "考試日期"},
      {"TestDay", "測驗日期"},
      {"TestDate", "測驗日期"},
      {"LocalHostName", "電腦名稱"},
      {"kind", "種類"},
  }};
  // Names compare without regard to case: the practice table writes "id" and "tno".
  for (const auto& [name, label] : kLabels) {
    if (name.size() == stored.size() &&
        std::equal(name.begin(), name.end(), stored.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return label;
    }
  }
  return stored;
}

const StoredValue* ValueOf(const StoredResult& result, Role role) {
  // Indexes resolved once from the names above.
  static const std::array<std::array<int, 12>, 4> kIndexes = [] {
    std::array<std::array<int, 12>, 4> indexes{};
    for (const ResultKind kind : kAllKinds) {
      for (std::size_t role = 0; role < 12; ++role) {
        indexes[Index(kind)][role] = ColumnIndex(kind, kRoleColumns[Index(kind)][role]);
      }
    }
    return indexes;
  }();
  const StoredValue* value =
      At(result, kIndexes[Index(result.kind)][static_cast<std::size_t>(role)]);
  const StoredValue* roster = role == Role::kName    ? &result.roster_name
                              : role == Role::kClass ? &result.roster_class
                                                     : nullptr;
  const bool has_own = value != nullptr && !std::holds_alternative<std::monostate>(*value) &&
                       *value != StoredValue(std::u16string());
  if (!has_own && roster != nullptr && !std::holds_alternative<std::monostate>(*roster)) {
    return roster;
  }
  return value;
}

std::vector<std::u16string_view> WrongWordsOf(const StoredResult& result) {
  std::vector<std::u16string_view> texts;
  for (const std::string_view column : kWrongWordColumns[Index(result.kind)]) {
    const StoredValue* value = At(result, ColumnIndex(result.kind, column));
    if (value == nullptr) continue;
    if (const auto* text = std::get_if<std::u16string>(value)) texts.push_back(*text);
  }
  return texts;
}

std::u16string ValueText(const StoredValue& value) {
  if (const auto* number = std::get_if<double>(&value)) return FormatNumber(*number);
  if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
  return {};
}

std::optional<double> NumberOf(const StoredValue* value) {
  if (value == nullptr) return std::nullopt;
  if (const auto* number = std::get_if<double>(value)) return *number;
  return std::nullopt;
}

}  // namespace keyin::report

namespace keyin::report {

SummaryTable Summarize(const std::vector<const StoredResult*>& results) {
  struct Source {
    const char16_t* label;
    std::optional<Role> role;  // nothing: the kind itself
    bool numeric;
  };
  // The reviewed result is the mark of a two-part paper; a practice row holds one run's speed.
  static const Source kSources[] = {
      {u"類別", std::nullopt, false}, {u"帳號", Role::kUser, false},
      {u"姓名", Role::kName, false},  {u"班級", Role::kClass, false},
      {u"座號", Role::kSeat, false},  {u"試卷", Role::kPaper, false},
      {u"日期", Role::kDate, false},  {u"測驗一", Role::kScore1, true},
      {u"錯誤率", Role::kErr1, true}, {u"測驗二", Role::kScore2, true},
      {u"錯誤率", Role::kErr2, true}, {u"成績", Role::kScore, true},
      {u"錯誤率", Role::kErr, true},
  };
  constexpr std::size_t kCount = std::size(kSources);
  std::vector<std::vector<std::u16string>> cells(results.size(),
                                                 std::vector<std::u16string>(kCount));
  std::array<bool, kCount> used{};
  for (std::size_t row = 0; row < results.size(); ++row) {
    const StoredResult& result = *results[row];
    for (std::size_t column = 0; column < kCount; ++column) {
      std::u16string text;
      if (!kSources[column].role) {
        text = KindLabel(result.kind);
      } else if (const StoredValue* value = ValueOf(result, *kSources[column].role)) {
        text = ValueText(*value);
      }
      used[column] = used[column] || !text.empty();
      cells[row][column] = std::move(text);
    }
  }
  // The kind is worth a column only when the rows are of more than one.
  bool mixed = false;
  for (const StoredResult* result : results) mixed = mixed || result->kind != results.front()->kind;
  used[0] = mixed;

  SummaryTable table;
  for (std::size_t column = 0; column < kCount; ++column) {
    if (used[column]) table.columns.push_back({kSources[column].label, kSources[column].numeric});
  }
  table.rows.reserve(results.size());
  for (std::vector<std::u16string>& row : cells) {
    std::vector<std::u16string> kept;
    kept.reserve(table.columns.size());
    for (std::size_t column = 0; column < kCount; ++column) {
      if (used[column]) kept.push_back(std::move(row[column]));
    }
    table.rows.push_back(std::move(kept));
  }
  return table;
}

}  // namespace keyin::report
