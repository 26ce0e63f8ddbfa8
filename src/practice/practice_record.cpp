// The earlier row of the same seat is found by the seat's number, not its text: a seat typed
// "05" in one run and "5" in the next is the same seat. The candidates are selected by test-taker
// and paper, compared here, and deleted by their exact stored ClassNum, so the SQL stays plain.
#include "practice/practice_record.h"

#include <algorithm>
#include <cmath>

#include "platform/code_page.h"
#include "run/run_end.h"
#include "support/number_text.h"

namespace keyin {
namespace {

std::string InsertStatement(const std::vector<TempScoreColumn>& row) {
  std::string columns;
  std::string markers;
  for (const TempScoreColumn& column : row) {
    if (!columns.empty()) {
      columns += ",";
      markers += ",";
    }
    columns += column.name;
    markers += "?";
  }
  return "INSERT INTO TempScore(" + columns + ") VALUES(" + markers + ")";
}

}  // namespace

bool KeepsPracticeRecord(const RunParams& params) {
  return IsArticlePractice(KindOfRun(params)) && !(params.UserID.empty() && params.StuName.empty());
}

PracticeInputs PracticeInputsOf(const ScoringOutcome& outcome, double SubtractScore) {
  const Scores& scores = outcome.scores;
  return PracticeInputs{
      .TotalChars = static_cast<double>(scores.TotalChars),
      .ErrorCount = static_cast<double>(scores.ErrorCount),
      .ErrorRate = scores.ErrorRate,
      .Speed = SubtractScore > 0.5 ? scores.AdjustedCharsPerMinute : scores.CharsPerMinute,
      .ErrorWords = outcome.ErrorWords,
  };
}

double NumberOfValue(const std::optional<double>& value) { return value ? AsWritten(*value) : 0; }

std::u16string ElapsedTimeText(std::u16string_view UseTime) {
  const double seconds = NumberOrThrow<RunFailure>(UseTime, "the time used (UseTime)");
  std::u16string minutes = FormatNumber(seconds / 60);
  minutes.resize(std::min(minutes.size(), minutes.find(u'.')));
  const double seconds_beyond = std::fmod(RoundHalfEven(seconds), 60);
  return minutes + u"分" + FormatNumber(seconds_beyond) + u"秒";
}

std::u16string AllowedTimeText(std::u16string_view TotTime) {
  const double seconds = NumberOrThrow<RunFailure>(TotTime, "the time allowed (TotTime)");
  return FormatNumber(seconds / 60) + u"分00秒";
}

std::optional<std::u16string> TopicOf(RunKind kind) {
  switch (kind) {
    case RunKind::kDoubleArticlePractice:
      return u"文章練習（雙）";
    case RunKind::kSingleArticlePractice:
      return u"文章練習（單）";
    case RunKind::kMockTest:
      return u"模擬測驗";
    case RunKind::kCustomTextPractice:
      return u"自建題庫練習";
    default:
      return std::nullopt;
  }
}

bool SameSeat(const DbValue& ClassNum, std::u16string_view SeatNo) {
  const std::optional<double> seat = ParseNumber(SeatNo);
  if (const auto* number = std::get_if<double>(&ClassNum)) return seat && *number == *seat;
  if (const auto* text = std::get_if<std::u16string>(&ClassNum)) {
    const std::optional<double> stored = ParseNumber(*text);
    return stored && seat ? *stored == *seat : *text == SeatNo;
  }
  return false;
}

std::vector<TempScoreColumn> TempScoreRow(const RunParams& params, const PracticeInputs& inputs,
                                          const DateTime& now, std::u16string_view host_name) {
  const double total_chars = NumberOfValue(inputs.TotalChars);
  const double error_count = NumberOfValue(inputs.ErrorCount);
  std::optional<std::u16string> topic = TopicOf(KindOfRun(params));
  std::vector<TempScoreColumn> row = {
      {"id", params.UserID},
      {"StuName", params.StuName},
      {"ClassName", params.ClassName},
      {"ClassNum", params.SeatNo},
      {"Topic", topic ? DbValue(*topic) : DbValue()},
      {"UseTime", ElapsedTimeText(params.UseTime)},
      {"TotTime", AllowedTimeText(params.TotTime)},
      {"SubtractScore", params.SubtractScore},
      {"tno", params.ExamPaperNo + u"-" + params.TestPart},
      {"Keyin", std::u16string(u"CHN")},
      {"TotalChr", total_chars},
      {"RightChr", total_chars - error_count},
      {"ErrChr", error_count},
      {"ErrPercen", NumberOfValue(inputs.ErrorRate)},
      {"Average", NumberOfValue(inputs.Speed)},
      {"TestDate", FormatDateTimeText(now, kStoredDateTimePattern)},
      {"ErWords", inputs.ErrorWords},
      {"LocalHostName", std::u16string(host_name)},
  };
  // A kind of run without a topic leaves the column to the table's default.
  if (!topic) {
    std::erase_if(row, [](const TempScoreColumn& column) {
      return std::string_view(column.name) == "Topic";
    });
  }
  return row;
}

void SaveDataToDatabse(DbConnection& KeyinConn, const RunParams& params, MessageSink& messages,
                       const PracticeInputs& inputs, const RunContext& context) {
  try {
    DbConnection& db = KeyinConn;
    const std::vector<TempScoreColumn> row =
        TempScoreRow(params, inputs, context.now, context.LocalHostName);

    DbTransaction transaction(db);
    const DbValue id = params.UserID;
    const DbValue tno = params.ExamPaperNo + u"-" + params.TestPart;
    const DbRows candidates =
        db.Query("SELECT ClassNum FROM TempScore WHERE ID=? AND Tno =?", {id, tno});
    for (const DbRow& candidate : candidates.All()) {
      const DbValue& class_num = candidate["ClassNum"];
      if (!SameSeat(class_num, params.SeatNo)) continue;
      db.Execute("DELETE FROM TempScore WHERE ID=? and ClassNum=? AND Tno =?",
                 {id, class_num, tno});
    }
    std::vector<DbValue> values;
    for (const TempScoreColumn& column : row) values.push_back(column.value);
    db.Execute(InsertStatement(row), values);
    transaction.Commit();
  } catch (const std::exception& failure) {
    messages.Show(Utf8ToUtf16(failure.what()), u"系統訊息");
    throw RunEnd(kExitFailure, std::string("SaveDataToDatabse: ") + failure.what());
  }
}

}  // namespace keyin
