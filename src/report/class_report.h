// The class report: one self-contained, printable HTML page over a selection of stored results
// (count, mean and median of speed and error rate; a histogram of speeds; speed against error
// rate, one point per result; the results ranked by their reviewed score; each candidate's
// practice history; the characters most often wrong). Pure: rows in, page text out.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "practice/input_codes.h"
#include "report/results.h"

namespace keyin::report {

// The speed and error rate that rank a result: its reviewed score (a practice row's speed), when
// both are stored as numbers; nothing for a row that has none yet (only part 1 taken).
struct Mark {
  double speed = 0;
  double error_rate = 0;
};
std::optional<Mark> MarkOf(const StoredResult& result);

struct Statistics {
  std::size_t count = 0;  // results with a mark
  double mean_speed = 0, median_speed = 0, mean_error_rate = 0, median_error_rate = 0;
};
// Over the marks; zeros for no marks.
Statistics StatisticsOf(const std::vector<Mark>& marks);

// Histogram bins of one round width (1, 2 or 5 times a power of ten) chosen so at most 12 bins
// cover the speeds; each bin holds low <= speed < high. No bins for no speeds.
struct SpeedBin {
  double low = 0;
  double high = 0;
  std::size_t count = 0;
};
std::vector<SpeedBin> SpeedHistogram(const std::vector<double>& speeds);

// The characters of the stored wrong words, most frequent first (ties in order of code point),
// at most `limit`; blanks and line ends are no characters here.
struct CharacterCount {
  std::u16string character;  // one code point
  std::size_t count = 0;
};
std::vector<CharacterCount> MostWrongCharacters(const std::vector<StoredResult>& results,
                                                std::size_t limit);

// Days since 1970-01-01 (with the time of day as a fraction) of a stored date-time
// "yyyy/MM/dd HH:mm:ss" (fields with or without leading zeros, the time optional); nothing for
// any other text or for a date that does not exist.
std::optional<double> DayNumber(std::u16string_view stored);

struct ClassReportInput {
  // The selection in the order the store gave it.
  std::vector<StoredResult> results;
  // What selected them, as label and value pairs (類別: 模擬測驗, 班級: 甲班, ...).
  std::vector<std::pair<std::u16string, std::u16string>> selection;
  // When the page was made, as the system writes date-times.
  std::u16string generated_at;
  // The input method whose codes the hardest characters show (the caller's table); none: no
  // codes. `codes_missing` says why there are none when they were asked for.
  const CodeTable* codes = nullptr;
  std::string codes_missing{};
};

// The whole page; a page that says there are no results when the selection is empty.
std::u16string ClassReport(const ClassReportInput& input);

}  // namespace keyin::report
