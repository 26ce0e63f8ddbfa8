// Line matching and error marking.
//
// Typed line t is compared with the unused reference lines t-25..t+25, never above 99: every
// typed character takes the first still unused equal character of the candidate, and the
// candidate with the best score 1.5 x hits - m/4 wins (strictly better only, so ties keep the
// lower line; line 99 may win and is then refused). The winner is aligned character by character:
// a pre-pass marks "＃" in WrongMark on typed characters with no plausible source, Match walks the
// reference line with a pointer into the typed line (same place, two places back, skipped
// reference character, up to three extra typed characters), and a counting pass settles what
// Match left alone.
//
// Positions are 1-based, as in the rules. CharAt reads "nothing" outside a string (below 1 or past
// the end), which equals no character, so no rule can read or write out of range.
//
// The one trick that keeps it cheap: the line search only needs the number of hits, and a typed
// character other than "○" hits exactly when the candidate still holds an unused equal
// character. So the hits are the size of the multiset intersection of the two lines, taken with
// a count per code unit of the typed line (O(n + m) per candidate instead of O(n x m)); a typed
// "○" is settled apart, as it also meets the marks of earlier finds.
//
// Reading of the rules where the cut of the last typed line meets a search: when the last typed
// line is shorter than its reference line, only m (the charged length) becomes n. The reference
// copy itself stays whole for the first-occurrence searches of the line search and the pre-pass,
// and for the search of the counting pass; Match walks reference positions 1..m; the copy is cut
// to n characters only in the line tail.
#include "scoring/matching.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "support/text.h"

namespace keyin {
namespace {

using Position = std::ptrdiff_t;  // 1-based; may fall outside a string

constexpr int kNothing = -1;  // what CharAt reads outside a string

// The line search.
constexpr int kWindow = 25;         // a typed line looks this many reference lines up and down
constexpr int kLastCandidate = 99;  // reference lines above it are never examined
constexpr Position kShortestCandidate = 2;  // a line of one character or none is no candidate
constexpr int kRefUsedEntries = 201;        // RefUsed covers lines 0..200, beyond any candidate

// The pre-pass.
constexpr int kNearDistance = 13;  // farther than this from both line ends is implausible
constexpr std::u16string_view kDoubleLetterO = u"\uFF2F\uFF2F";  // ＯＯ: wrong up to it

// The alignment (Match).
constexpr Position kLookBackFrom = 5;             // rule 2 looks back only from typed position 5 on
constexpr Position kSkipNeedsTypedAfter = 3;      // rule 3 needs j at most n - 3 ...
constexpr Position kSkipNeedsReferenceAfter = 5;  // ... and i at most m - 5
constexpr Position kMostExtraTyped = 3;  // rule 4 steps over at most three typed characters

Position Length(std::u16string_view text) { return static_cast<Position>(text.size()); }

// Character at a 1-based position, or kNothing outside the string.
int CharAt(std::u16string_view text, Position pos) {
  if (pos < 1 || pos > Length(text)) return kNothing;
  return text[static_cast<std::size_t>(pos - 1)];
}

// Two reads are equal only when both are characters; "nothing" equals nothing.
bool Same(int a, int b) { return a != kNothing && a == b; }

// Every caller has just read a character at pos, so pos is inside the string.
void Mark(std::u16string& text, Position pos, char16_t mark) {
  assert(pos >= 1 && pos <= Length(text));
  text[static_cast<std::size_t>(pos - 1)] = mark;
}

// First position at or after `from` holding `what`, 0 when there is none.
Position FindFrom(std::u16string_view text, std::u16string_view what, Position from) {
  if (from < 1) from = 1;
  if (from > Length(text)) return 0;
  const std::size_t at = text.find(what, static_cast<std::size_t>(from - 1));
  return at == std::u16string_view::npos ? 0 : static_cast<Position>(at) + 1;
}

Position FindFrom(std::u16string_view text, char16_t what, Position from) {
  return FindFrom(text, std::u16string_view(&what, 1), from);
}

std::u16string_view LineAt(const std::vector<std::u16string>& lines, int number) {
  if (number < 0 || static_cast<std::size_t>(number) >= lines.size()) return {};
  return lines[static_cast<std::size_t>(number)];
}

// ---- Line search ----

// Finds BestLine. Keeps one count per UTF-16 code unit for the typed line being searched, so
// that each candidate takes one pass instead of a search per typed character.
class LineSearch {
 public:
  LineSearch() : counts_(std::size_t{1} << 16, 0) {}

  // BestLine of typed line t: 0 when no candidate scores above 0. May be kLastCandidate, which
  // the caller refuses.
  int FindBestLine(int t, int typed_count, std::u16string_view typed_line,
                   const ReferenceLines& reference, const std::vector<bool>& ref_used) {
    int circles = 0;
    for (char16_t ch : typed_line) {
      if (ch == kMatchedMark) {
        ++circles;
      } else {
        ++counts_[ch];
      }
    }
    int best_line = 0;
    double best_score = 0;
    const Position n = Length(typed_line);
    for (int r = t - kWindow; r <= t + kWindow; ++r) {
      if (r < 1 || r > kLastCandidate) continue;
      if (ref_used[static_cast<std::size_t>(r)]) continue;
      const std::u16string_view candidate = LineAt(reference, r);
      Position m = Length(candidate);
      if (m < kShortestCandidate) continue;
      if (t == typed_count && n < m) m = n;
      const int hits = Hits(candidate, typed_line, circles);
      const double score = hits - (static_cast<double>(m) / 2 - hits) / 2;
      if (score > best_score) {
        best_line = r;
        best_score = score;
      }
    }
    for (char16_t ch : typed_line) {
      if (ch != kMatchedMark) --counts_[ch];
    }
    return best_line;
  }

 private:
  // The hits of the rule "each typed character finds its first occurrence in the reference copy,
  // which becomes ○ so it cannot be found again". A character other than ○ hits while an equal
  // one is left, whatever the order: the sum over characters of the smaller count. A typed ○
  // finds the line's own ○, or else the mark of any earlier find.
  int Hits(std::u16string_view reference_line, std::u16string_view typed_line, int circles) {
    int hits = 0;
    // Counting down below zero and back keeps the loops free of branches.
    for (char16_t ch : reference_line) hits += --counts_[ch] >= 0;
    for (char16_t ch : reference_line) ++counts_[ch];
    if (circles == 0) return hits;
    if (reference_line.find(kMatchedMark) != std::u16string_view::npos) return hits + circles;
    bool found_before = false;
    for (char16_t ch : typed_line) {
      if (ch == kMatchedMark) {
        if (found_before) ++hits;
      } else if (!found_before) {
        found_before = reference_line.find(ch) != std::u16string_view::npos;
      }
    }
    return hits;
  }

  std::vector<int> counts_;  // typed count per code unit (○ left out), zero between searches
};

// ---- Alignment of a matched line ----

// The working state of one typed line, from the pre-pass to the line tail.
struct LineState {
  std::u16string reference_copy;  // reference line b, marked "○" where matched
  std::u16string typed_copy;      // typed line t, "○" typed as "●", marked "○" / "Ｘ"
  std::u16string wrong_mark;      // WrongMark: typed line t as typed, "＃" on judged-wrong chars
  Position m = 0;                 // reference characters charged
  Position n = 0;                 // typed characters
  int hits = 0;                   // LineHits
  int missing = 0;                // LineMissing
  int extra = 0;                  // LineExtra
};

// After it: wrong_mark holds "＃" on every typed character whose first occurrence in the
// reference line is absent, far from both line ends, or at or before a "ＯＯ".
void PrePass(std::u16string_view reference_line, LineState& line) {
  // The pre-pass marks a copy of its own; Match takes the line fresh again.
  std::u16string& reference_copy = line.reference_copy;
  reference_copy.assign(reference_line);
  for (Position i = 1; i <= line.n; ++i) {
    const char16_t ch = line.typed_copy[static_cast<std::size_t>(i - 1)];
    const Position p = FindFrom(reference_copy, ch, 1);
    const bool wrong = p == 0 ||
                       (std::abs(i - p) > kNearDistance &&
                        std::abs((line.n - i) - (line.m - p)) > kNearDistance) ||
                       FindFrom(reference_copy, kDoubleLetterO, p) != 0;
    if (wrong) {
      Mark(line.wrong_mark, i, kWrongMark);
    } else {
      Mark(reference_copy, p, kMatchedMark);
    }
  }
}

// One reference character c at position i against the typed copy from pointer j. Returns true
// when c is matched (some typed character took it); j and the typed copy move as the rules say.
bool AlignReferenceChar(LineState& line, Position i, char16_t c, Position& j) {
  std::u16string& typed = line.typed_copy;
  const std::u16string& reference = line.reference_copy;

  if (CharAt(typed, j) == c) {
    Mark(typed, j, kMatchedMark);
    ++j;
    return true;
  }
  if (j >= kLookBackFrom) {
    if (CharAt(typed, j - 2) == c) {
      Mark(typed, j - 2, kMatchedMark);
      return true;
    }
    if (CharAt(typed, j - 1) == c) {
      Mark(typed, j - 1, kMatchedMark);
      return true;
    }
  }
  // The candidate left c out: the next two reference characters are the next two typed ones.
  if (j <= line.n - kSkipNeedsTypedAfter && i <= line.m - kSkipNeedsReferenceAfter &&
      Same(CharAt(reference, i + 1), CharAt(typed, j)) &&
      Same(CharAt(reference, i + 2), CharAt(typed, j + 1))) {
    return false;
  }
  // Up to three extra typed characters before c; a run of "＃＃" stretches the reach.
  for (Position k = 1; k <= kMostExtraTyped; ++k) {
    for (;;) {
      if (j + k > line.n) return false;
      if (CharAt(typed, j + k) == c) {
        // The swapped-pair test looks at reference position i in both lines, not at j.
        if (Same(CharAt(reference, i), CharAt(typed, i + 1)) &&
            Same(CharAt(reference, i + 1), CharAt(typed, i))) {
          ++line.extra;
        } else {
          Mark(typed, j + k, kMatchedMark);
        }
        j = j + k + 1;
        return true;
      }
      if (CharAt(line.wrong_mark, j + k - 1) == kWrongMark &&
          CharAt(line.wrong_mark, j + k) == kWrongMark && j + k < line.n) {
        ++j;
        continue;  // the same k again
      }
      break;
    }
  }
  return false;
}

// After it: reference positions 1..m of the copy are "○" where matched, the others unchanged.
void Match(LineState& line) {
  Position j = 1;
  for (Position i = 1; i <= line.m; ++i) {
    const char16_t c = line.reference_copy[static_cast<std::size_t>(i - 1)];
    if (AlignReferenceChar(line, i, c, j)) {
      // The match took the last typed character and the pointer ran off the line. The rule puts
      // it back onto the last character but one, so that the reference characters still to come
      // meet the end of the typed line through rules 1 and 2 instead of nothing. Kept as the rule
      // has it (one before the last, not the last): stored scores depend on it.
      if (j > line.n) j = line.n - 1;
      Mark(line.reference_copy, i, kMatchedMark);
    }
  }
}

// After it: hits + missing counts positions 1..m of the reference copy; every typed character is
// "○", "Ｘ", or left as typed and counted extra.
void CountMarks(LineState& line, int best_line, int typed_count) {
  for (Position i = 1; i <= line.m; ++i) {
    if (CharAt(line.reference_copy, i) == kMatchedMark) {
      ++line.hits;
    } else {
      ++line.missing;
    }
  }
  for (Position j = 1; j <= line.n; ++j) {
    const char16_t x = line.typed_copy[static_cast<std::size_t>(j - 1)];
    if (x == kMatchedMark || x == kErrorMark) continue;
    const int as_typed = CharAt(line.wrong_mark, j);
    if (as_typed == kWrongMark) {
      // Opposite a matched reference character the wrong one is extra; otherwise the missing
      // reference character already counts it.
      if (CharAt(line.reference_copy, j) == kMatchedMark) {
        ++line.extra;
      } else {
        Mark(line.typed_copy, j, kErrorMark);
      }
    } else if (as_typed != kMatchedMark && best_line != typed_count) {
      // best_line is a reference line number and typed_count a number of typed lines: the rule
      // compares the two as they are. Only when they happen to be equal is a character that the
      // pre-pass passed searched for below instead of marked wrong. Kept as the rule has it:
      // stored scores depend on it.
      Mark(line.typed_copy, j, kErrorMark);
    } else if (FindFrom(line.reference_copy, x, j) != 0) {
      Mark(line.typed_copy, j, kMatchedMark);
      ++line.hits;
    } else {
      ++line.extra;
    }
  }
  assert(line.hits >= 0 && line.missing >= 0 && line.extra >= 0);
  assert(line.missing <= line.m);
}

// One typed line and the reference line the search chose for it.
struct LinePair {
  int typed_number = 0;                // t
  int best_line = 0;                   // b; 0 when unmatched
  std::u16string_view typed_line;      // typed line t as stored
  std::u16string_view reference_line;  // reference line b; empty when unmatched
  bool is_last = false;                // t is the last typed line (t = TypedCount)
};

LineState MatchLine(const LinePair& pair, int typed_count) {
  LineState line;
  line.m = Length(pair.reference_line);
  line.n = Length(pair.typed_line);
  line.wrong_mark = std::u16string(pair.typed_line);
  line.typed_copy = std::u16string(pair.typed_line);
  if (pair.is_last && line.n < line.m) line.m = line.n;
  // A typed "○" must not pass for a mark.
  std::replace(line.typed_copy.begin(), line.typed_copy.end(), kMatchedMark, kTypedCircle);
  PrePass(pair.reference_line, line);
  line.reference_copy.assign(pair.reference_line);
  Match(line);
  CountMarks(line, pair.best_line, typed_count);
  // Marks replace characters one for one.
  assert(line.reference_copy.size() == pair.reference_line.size());
  assert(line.typed_copy.size() == pair.typed_line.size());
  assert(line.wrong_mark.size() == pair.typed_line.size());
  return line;
}

LineState UnmatchedLine(const LinePair& pair) {
  LineState line;
  line.n = Length(pair.typed_line);
  line.wrong_mark = std::u16string(pair.typed_line);
  line.typed_copy = std::u16string(pair.typed_line);
  return line;
}

// ---- Line tail ----

// Scores the line and strips its texts for the listing; the marked copies move into the result.
ScoredLine FinishLine(LineState& line, const LinePair& pair, double deduction) {
  ScoredLine scored;
  scored.typed_number = pair.typed_number;
  scored.best_line = pair.best_line;
  scored.hits = line.hits;
  scored.missing = line.missing;
  scored.extra = line.extra;
  scored.charged = static_cast<int>(line.m);
  const int errors = line.missing + line.extra;
  scored.score = std::max(0.0, line.hits - errors / 2.0);
  scored.adjusted_score = std::max(0.0, line.hits - deduction * errors);
  assert(scored.score * 2 == static_cast<double>(static_cast<long long>(scored.score * 2)));

  if (pair.is_last && line.n - 1 < line.m) {
    line.reference_copy.resize(
        std::min(line.reference_copy.size(), static_cast<std::size_t>(line.n)));
  }
  scored.reference_line = TrimTrailingBlanks(pair.reference_line);
  scored.reference_copy = std::move(line.reference_copy);
  EraseTrailingBlanks(scored.reference_copy);
  scored.typed_copy = std::move(line.typed_copy);
  EraseTrailingBlanks(scored.typed_copy);
  std::replace(scored.typed_copy.begin(), scored.typed_copy.end(), kTypedCircle, kErrorMark);
  scored.typed_line = TrimTrailingBlanks(pair.typed_line);
  return scored;
}

// Adds a finished line to the totals: its error characters always, its counts only when it
// scored (an unmatched typed line costs no errors, and its reference line stays free for later
// typed lines).
void AddToTotals(MatchTotals& totals, const ScoredLine& line, std::u16string_view wrong_mark) {
  for (char16_t ch : line.reference_copy) {
    if (ch != kMatchedMark) totals.missed_chars.push_back(ch);
  }
  // A character judged wrong before the alignment counts as its mark shows it (unless that is
  // Ｘ); any other unmatched character counts as typed.
  for (Position j = 1; j <= Length(line.typed_copy); ++j) {
    const char16_t x = line.typed_copy[static_cast<std::size_t>(j - 1)];
    if (x == kMatchedMark) continue;
    const int as_typed = CharAt(wrong_mark, j);
    if (as_typed != kWrongMark) {
      if (as_typed != kNothing) totals.wrong_chars.push_back(static_cast<char16_t>(as_typed));
    } else if (x != kErrorMark) {
      totals.wrong_chars.push_back(x);
    }
  }
  if (!(line.score > 0)) return;
  totals.ref_used[static_cast<std::size_t>(line.best_line)] = true;
  totals.score_sum += line.score;
  if (totals.deduction > 0.5) totals.adjusted_score_sum += line.adjusted_score;
  totals.total_chars += line.charged;
  totals.error_count += line.missing + line.extra;
  totals.highest_scored_line = std::max(totals.highest_scored_line, line.best_line);
}

}  // namespace

MatchResult ScrLoop(const ReferenceLines& reference, const TypedLines& typed,
                    double subtract_score) {
  MatchResult result;
  MatchTotals& totals = result.totals;
  totals.ref_used.assign(kRefUsedEntries, false);
  totals.deduction = subtract_score == 0 ? 0.5 : subtract_score;

  const int typed_count = typed.empty() ? 0 : static_cast<int>(typed.size() - 1);
  result.lines.reserve(static_cast<std::size_t>(typed_count));

  LineSearch search;
  for (int t = 1; t <= typed_count; ++t) {
    LinePair pair;
    pair.typed_number = t;
    pair.typed_line = LineAt(typed, t);
    pair.is_last = t == typed_count;
    pair.best_line =
        search.FindBestLine(t, typed_count, pair.typed_line, reference, totals.ref_used);
    if (pair.best_line >= kLastCandidate) pair.best_line = 0;  // line 99 may win but is refused
    // An unmatched line is set against the empty line 0, whatever the table holds there.
    if (pair.best_line != 0) pair.reference_line = LineAt(reference, pair.best_line);

    LineState line = pair.best_line != 0 ? MatchLine(pair, typed_count) : UnmatchedLine(pair);
    ScoredLine scored = FinishLine(line, pair, totals.deduction);
    AddToTotals(totals, scored, line.wrong_mark);
    result.lines.push_back(std::move(scored));
  }
  return result;
}

}  // namespace keyin
