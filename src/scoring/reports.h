// The lines of the three report files: the score listing (.SCR), the score summary (.TOT) and
// the error-check file (.CHK). Pure: each function returns the lines to write, without CR LF.
#pragma once

#include <string>
#include <vector>

#include "run/run_kind.h"
#include "scoring/matching.h"
#include "scoring/totals.h"

namespace keyin {

// The five lines of a typed line's listing block.
std::vector<std::u16string> ListingBlock(const ScoredLine& line);

// The summary lines after all blocks; the adjusted-speed line only when SubtractScore > 0.5.
std::vector<std::u16string> ListingSummary(std::u16string_view TestFileName, const Scores& scores,
                                           double SubtractScore);

// The three lines of the .TOT file.
std::vector<std::u16string> ScoreSummary(std::u16string_view TestFileName, const Scores& scores);

struct ErrorCheck {
  // The file's content as written pieces: the heading line, the empty line, then the error
  // text (which holds one CR LF of its own) written as one line.
  std::vector<std::u16string> lines;
  std::u16string ErrorWords;  // at most 250 characters
};

// date_text and time_text are the current date ("yyyy/M/d") and time ("H:mm:ss"). The heading
// names a test for a mock test and a practice for every other kind.
ErrorCheck ErrChk(std::u16string_view ExamPaperNo, std::u16string_view TestPart, RunKind kind,
                  const Scores& scores, const MatchTotals& totals, std::u16string_view date_text,
                  std::u16string_view time_text);

}  // namespace keyin
