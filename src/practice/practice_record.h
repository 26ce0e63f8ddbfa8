// The practice record: one TempScore row per test-taker, seat, paper and test part, replaced by
// every new run of the same four.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/database.h"
#include "platform/message_box.h"
#include "run/run_kind.h"
#include "run/run_params.h"
#include "scoring/run_context.h"
#include "scoring/score_answer.h"

namespace keyin {

// The scores of the run, in the order the scoring engine passes them. A number may be missing
// (no value), which is stored as 0.
struct PracticeInputs {
  std::optional<double> TotalChars;  // TotalChr
  std::optional<double> ErrorCount;  // ErrChr
  std::optional<double> ErrorRate;   // ErrPercen
  std::optional<double> Speed;       // Average
  std::u16string ErrorWords;         // ErWords
};

// Whether the run keeps a practice record: an article practice in which UserID or StuName is
// given. Throws RunFailure when TestType is no number.
bool KeepsPracticeRecord(const RunParams& params);

// The inputs of the practice record from the scoring. The deduction standard decides which speed
// is kept: above 0.5 the adjusted speed, otherwise the plain one (0 stands for the default 0.5,
// and the adjusted speed means nothing below it).
PracticeInputs PracticeInputsOf(const ScoringOutcome& outcome, double SubtractScore);

// A value as the number its 15-digit text starts with; a missing value gives 0.
double NumberOfValue(const std::optional<double>& value);

// Seconds used, as whole minutes and the seconds beyond them: 125 gives 2分5秒. The minutes are
// the 15-digit quotient cut at its point; the seconds are rounded half to even. Throws
// RunFailure when UseTime is not a number.
std::u16string ElapsedTimeText(std::u16string_view UseTime);

// Seconds allowed, as the 15-digit quotient in minutes and always 00 seconds: 90 gives
// 1.5分00秒. Throws RunFailure when TotTime is not a number.
std::u16string AllowedTimeText(std::u16string_view TotTime);

// The Topic of the practices and the mock test; nothing for any other kind.
std::optional<std::u16string> TopicOf(RunKind kind);

// True when a stored ClassNum is the same seat as SeatNo: equal numbers when both are numbers,
// so "05" and "5" are one seat; otherwise equal texts, so "A1" and "B2" stay apart. An empty
// ClassNum is no seat.
bool SameSeat(const DbValue& ClassNum, std::u16string_view SeatNo);

struct TempScoreColumn {
  const char* name;
  DbValue value;
};

// The columns of the new row in the order they are set; Topic is left out when TopicOf gives
// nothing, so the table's default stands. Throws RunFailure as KindOfRun and the text readers
// above do.
std::vector<TempScoreColumn> TempScoreRow(const RunParams& params, const PracticeInputs& inputs,
                                          const DateTime& now, std::u16string_view host_name);

// Replaces the TempScore row of the run's test-taker, seat, paper and part by the new one, both
// in one transaction on KeyinConn. A failure shows its description (title "系統訊息"), leaves
// the table as it was and ends the run with RunEnd(kExitFailure).
void SaveDataToDatabse(DbConnection& KeyinConn, const RunParams& params, MessageSink& messages,
                       const PracticeInputs& inputs, const RunContext& context);

}  // namespace keyin
