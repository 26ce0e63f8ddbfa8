// Score computation after the line loop.
//
// ReCalc charges every reference line from 1 up to the highest scored line that no typed line
// scored on, in full, as missed characters. TotScr then turns the seconds used into minutes
// (capped at 10 for a mock test), and computes the error rate (rounded down) and the speeds
// (rounded up). With nothing scored the speed stays 0, the error rate 99 and the adjusted speed
// empty. The minutes and seconds of the time line are written and re-read as texts, because
// that is how the seconds came out as whole numbers in the listing (100 s gives 1 and 40).
#include "scoring/totals.h"

#include <cmath>
#include <string>

#include "platform/code_page.h"
#include "support/number_text.h"

namespace keyin {
namespace {

constexpr double kMockTestMinutesCap = 10;

// What ReCalc adds to the totals.
struct SkippedLines {
  long long chars = 0;
  std::u16string text;
};

SkippedLines ReCalc(const MatchTotals& totals, const ReferenceLines& reference) {
  SkippedLines skipped;
  for (int r = 1; r <= totals.highest_scored_line; ++r) {
    const auto index = static_cast<std::size_t>(r);
    const bool used = index < totals.ref_used.size() && totals.ref_used[index];
    if (used) continue;
    if (index < reference.size()) {
      skipped.chars += static_cast<long long>(reference[index].size());
      skipped.text += reference[index];
    }
  }
  return skipped;
}

// Speed in characters per minute, rounded up to the next whole number.
double Speed(double score_sum, double minutes, const char* what) {
  const double speed = std::ceil(score_sum / minutes);
  if (!std::isfinite(speed)) {
    throw ScoreError(std::string("the ") + what + " cannot be computed from a time of " +
                     Utf16ToUtf8(FormatNumber(minutes)) + " minutes");
  }
  return speed;
}

}  // namespace

Scores TotScr(const MatchTotals& totals, const ReferenceLines& reference,
              std::u16string_view UseTime, RunKind kind) {
  const double seconds =
      NumberOrThrow<ScoreError>(UseTime, "the time used (UseTime)", "a number of seconds");

  Scores scores;
  scores.TestMinutes = seconds / 60;
  scores.TotalChars = totals.total_chars;
  scores.ErrorCount = totals.error_count;
  scores.Deduction = totals.deduction;

  if (totals.total_chars != 0) {
    const SkippedLines skipped = ReCalc(totals, reference);
    scores.TotalChars += skipped.chars;
    scores.ErrorCount += skipped.chars;
    scores.SkippedText = skipped.text;

    if (kind == RunKind::kMockTest && scores.TestMinutes > kMockTestMinutesCap) {
      scores.TestMinutes = kMockTestMinutesCap;
    }
    // A time of zero or less gives no speed; the run must fail rather than store one.
    if (!(scores.TestMinutes > 0)) {
      throw ScoreError(
          "the time used (UseTime) must be more than 0 seconds when lines were "
          "scored, but is \"" +
          Utf16ToUtf8(UseTime) + "\"");
    }

    // Counts are never negative, so integer division rounds down exactly.
    scores.ErrorRate = static_cast<double>(scores.ErrorCount * 100 / scores.TotalChars);
    scores.CharsPerMinute = Speed(totals.score_sum, scores.TestMinutes, "speed");
    scores.AdjustedCharsPerMinute =
        Speed(totals.adjusted_score_sum, scores.TestMinutes, "adjusted speed");
  }

  // The time line: whole minutes, then the seconds beyond them as the 15-digit text of a double,
  // re-read and cut to whole seconds.
  const double whole_minutes = std::trunc(scores.TestMinutes);
  scores.TestMinutesText = FormatNumber(whole_minutes);
  const double seconds_beyond = (scores.TestMinutes - AsWritten(whole_minutes)) * 60;
  scores.TestSecondsText = FormatNumber(std::trunc(AsWritten(seconds_beyond)));
  return scores;
}

}  // namespace keyin
