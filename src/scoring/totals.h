// Score computation: charges skipped reference lines (ReCalc), turns the elapsed time into
// minutes and computes speed, error rate and adjusted speed (TotScr). Pure.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "run/run_kind.h"
#include "scoring/matching.h"

namespace keyin {

struct Scores {
  double CharsPerMinute = 0;                     // whole number
  double ErrorRate = 99;                         // whole number, per cent
  std::optional<double> AdjustedCharsPerMinute;  // empty when nothing was scored
  long long TotalChars = 0;
  long long ErrorCount = 0;
  double TestMinutes = 0;
  std::u16string TestMinutesText;
  std::u16string TestSecondsText;
  std::u16string SkippedText;
  double Deduction = 0.5;
};

// A time that cannot give a speed: not a number, or zero or negative with lines scored.
class ScoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// UseTime is the run parameter as text; a mock test's time is capped at ten minutes.
// Throws ScoreError when UseTime is not a number, or when lines scored and UseTime is 0 or less.
Scores TotScr(const MatchTotals& totals, const ReferenceLines& reference,
              std::u16string_view UseTime, RunKind kind);

}  // namespace keyin
