// The marks of one scored line, character by character: which reference characters the candidate
// missed, which typed characters are wrong (and what the reference has there) and which are
// extra. Pure: read off the marked copies that the matching engine leaves in ScoredLine, so the
// report shows exactly what was scored.
//
//   LineMarks marks = MarksOf(scored_line, reference[scored_line.best_line]);
//   // marks.missing + marks.wrong == scored_line.missing, marks.extra == scored_line.extra
#pragma once

#include <string_view>
#include <vector>

#include "scoring/matching.h"

namespace keyin::report {

enum class MarkKind { kMissing, kWrong, kExtra };

// One marked character. Positions count UTF-16 units from 1, as the scoring does. The engine
// marks units, so a character outside the Basic Multilingual Plane may carry two unit marks;
// they are one mark here, of the whole character, that counts both units.
struct CharacterMark {
  MarkKind kind = MarkKind::kMissing;
  int position = 0;       // the first unit it covers: in the reference line (missing), the typed
                          // line (extra), both (wrong)
  char32_t expected = 0;  // the reference character (missing, wrong); 0 for extra
  char32_t typed = 0;     // the typed character (wrong, extra); 0 for missing
  bool charged = true;    // one of the errors the line's counts charge; only an extra may not be
  int units = 1;          // the units of the line the engine marked for it: 1, or 2 for a pair
};

struct LineMarks {
  int missing = 0;                   // units of the missing marks: LineMissing - wrong
  int wrong = 0;                     // units of the wrong marks; missing + wrong = LineMissing
  int extra = 0;                     // LineExtra; the charged extra marks' units are at most this
  std::vector<CharacterMark> marks;  // by position, a missing one before an extra one at a place
};

// The marks of a matched line; `reference_line` is its reference line as stored, trailing blanks
// included (the marked copy has lost them). A line that matched nothing has no marks.
LineMarks MarksOf(const ScoredLine& line, std::u16string_view reference_line);

}  // namespace keyin::report
