// Marks from the engine's marked copies.
//
// The reference copy holds "○" where a reference character was matched and the character itself
// where it was missed; LineMissing counts the missed ones among the first m (`charged`) places.
// Missed blanks at the end of the line are stripped from the copy, so the places from its end up
// to m are missed blanks too. The typed copy holds "○" where a typed character was matched, the
// character itself where the engine charged it as one extra, and "Ｘ" where it judged the
// character wrong without charging it: the missed reference character opposite it carries the
// cost.
//
// "Opposite" is the engine's own pairing: its last pass sets typed place p against reference place
// p. So a typed "Ｘ" at p and a missed reference character at p are one wrong character, expected
// the reference character, typed the other, charged once (as the missed one). Every other missed
// reference character is missing; every typed character left as typed is extra.
//
// A typed "Ｘ" with no missed character opposite is shown extra as well, charged or not. The
// engine charges some extras that leave no character as typed (a swapped pair, of which one
// character shows "Ｘ"; a typed "○" or "●", which shows "Ｘ"), and nothing for other such "Ｘ" (one
// opposite a matched character, or past the end of the reference line). So the first (LineExtra -
// characters left as typed) of these marks in the line are charged, the others are shown but cost
// nothing. Where the extras without a character are more than these marks, the rest are charged
// to no character: the last pass found a swapped character again (on a line matched to reference
// line TypedCount, where it searches further) or charged it once more (with "ＯＯ" or mark
// characters in the text).
#include "report/line_marks.h"

#include <algorithm>
#include <cassert>

namespace keyin::report {

LineMarks MarksOf(const ScoredLine& line, std::u16string_view reference_line) {
  LineMarks result;
  result.extra = line.extra;
  if (line.best_line == 0) return result;

  const std::u16string& reference_copy = line.reference_copy;
  const std::u16string& typed_copy = line.typed_copy;
  const std::u16string& typed = line.typed_line;
  const std::size_t m = static_cast<std::size_t>(line.charged);
  // Marks replace characters one for one; the copies only lose blanks at their ends.
  assert(reference_copy.size() <= m && m <= reference_line.size());
  assert(typed_copy.size() == typed.size());

  const auto left_as_typed = std::count_if(typed_copy.begin(), typed_copy.end(), [](char16_t c) {
    return c != kMatchedMark && c != kErrorMark;
  });
  // Extras the engine charged without a character left as typed (swapped pairs, typed ○ and ●).
  long long uncarried = line.extra - left_as_typed;
  assert(uncarried >= 0);

  for (std::size_t i = 0; i < std::max(m, typed.size()); ++i) {
    const int position = static_cast<int>(i) + 1;
    const bool missed = i < m && (i >= reference_copy.size() || reference_copy[i] != kMatchedMark);
    assert(!missed || i >= reference_copy.size() || reference_copy[i] == reference_line[i]);
    const bool unmatched_typed = i < typed.size() && typed_copy[i] != kMatchedMark;
    const bool judged_wrong = unmatched_typed && typed_copy[i] == kErrorMark;
    if (missed && judged_wrong) {
      result.marks.push_back({MarkKind::kWrong, position, reference_line[i], typed[i], true});
      ++result.wrong;
      continue;
    }
    if (missed) {
      result.marks.push_back({MarkKind::kMissing, position, reference_line[i], 0, true});
      ++result.missing;
    }
    if (unmatched_typed) {
      const bool charged = !judged_wrong || uncarried > 0;
      if (judged_wrong && charged) --uncarried;
      result.marks.push_back({MarkKind::kExtra, position, 0, typed[i], charged});
    }
  }
  assert(result.missing + result.wrong == line.missing);
  return result;
}

}  // namespace keyin::report
