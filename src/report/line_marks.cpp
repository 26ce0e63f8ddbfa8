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
//
// The engine compares UTF-16 units, so it marks the halves of a character outside the Basic
// Multilingual Plane one by one. The unit marks are then joined per character: marks of one kind
// on one character become one mark of the whole character counting both units, and a missing
// half of a character whose other half was typed wrong joins the wrong mark (a character of the
// plane typed for one outside it leaves exactly that). A lone surrogate is a character by itself.
#include "report/line_marks.h"

#include <algorithm>
#include <cassert>

#include "platform/utf8.h"

namespace keyin::report {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The first unit of the character that holds unit `at`.
std::size_t CharacterStart(std::u16string_view text, std::size_t at) {
  return at > 0 && IsLowSurrogate(text[at]) && IsHighSurrogate(text[at - 1]) ? at - 1 : at;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// A mark while the unit marks are joined, with where its characters start in the two lines.
struct Joining {
  CharacterMark mark;
  std::size_t reference_start = kNone;  // missing, wrong
  std::size_t typed_start = kNone;      // wrong, extra
};

// Joins the unit marks of each character, as the file's head says. `unit_marks` hold units as
// their characters; what is returned holds whole characters, in the same order.
std::vector<CharacterMark> JoinCharacters(const std::vector<CharacterMark>& unit_marks,
                                          std::u16string_view reference_line,
                                          std::u16string_view typed) {
  std::vector<Joining> joined;
  // The last missing or wrong mark, and the last extra one: the only marks a unit can join.
  std::size_t last_reference = kNone, last_extra = kNone;
  for (const CharacterMark& unit : unit_marks) {
    const auto at = static_cast<std::size_t>(unit.position - 1);
    Joining next{unit};
    if (unit.kind != MarkKind::kExtra) {
      next.reference_start = CharacterStart(reference_line, at);
      next.mark.expected = CharacterAt(reference_line, next.reference_start).code_point;
    }
    if (unit.kind != MarkKind::kMissing) {
      next.typed_start = CharacterStart(typed, at);
      next.mark.typed = CharacterAt(typed, next.typed_start).code_point;
    }
    if (unit.kind == MarkKind::kExtra && last_extra != kNone) {
      Joining& previous = joined[last_extra];
      if (previous.typed_start == next.typed_start && previous.mark.charged == unit.charged) {
        ++previous.mark.units;
        continue;
      }
    }
    if (unit.kind != MarkKind::kExtra && last_reference != kNone) {
      Joining& previous = joined[last_reference];
      const auto previous_at = static_cast<std::size_t>(previous.mark.position - 1);
      const bool same_character = previous.reference_start == next.reference_start;
      if (same_character && unit.kind == MarkKind::kMissing) {
        ++previous.mark.units;
        continue;
      }
      if (same_character && previous.mark.kind == MarkKind::kWrong &&
          previous.typed_start == next.typed_start) {
        ++previous.mark.units;
        continue;
      }
      // A missing half, then the other half wrong: one wrong mark where the typed character
      // also covers the missing half's place.
      if (same_character && previous.mark.kind == MarkKind::kMissing &&
          previous_at < typed.size() && CharacterStart(typed, previous_at) == next.typed_start) {
        previous.mark.kind = MarkKind::kWrong;
        previous.mark.typed = next.mark.typed;
        previous.typed_start = next.typed_start;
        ++previous.mark.units;
        continue;
      }
    }
    (unit.kind == MarkKind::kExtra ? last_extra : last_reference) = joined.size();
    joined.push_back(next);
  }
  std::vector<CharacterMark> marks;
  marks.reserve(joined.size());
  for (const Joining& joining : joined) marks.push_back(joining.mark);
  return marks;
}

}  // namespace

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
      continue;
    }
    if (missed) {
      result.marks.push_back({MarkKind::kMissing, position, reference_line[i], 0, true});
    }
    if (unmatched_typed) {
      const bool charged = !judged_wrong || uncarried > 0;
      if (judged_wrong && charged) --uncarried;
      result.marks.push_back({MarkKind::kExtra, position, 0, typed[i], charged});
    }
  }
  result.marks = JoinCharacters(result.marks, reference_line, typed);
  for (const CharacterMark& mark : result.marks) {
    if (mark.kind == MarkKind::kMissing) result.missing += mark.units;
    if (mark.kind == MarkKind::kWrong) result.wrong += mark.units;
  }
  assert(result.missing + result.wrong == line.missing);
  return result;
}

}  // namespace keyin::report
