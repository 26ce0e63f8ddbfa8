#include "scoring/matching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace keyin {
namespace {

// Tables with entry 0 unused, as the scorer keeps them.
ReferenceLines Reference(std::vector<std::u16string> lines) {
  lines.insert(lines.begin(), u"");
  return lines;
}
TypedLines Typed(std::vector<std::u16string> lines) {
  lines.insert(lines.begin(), u"");
  return lines;
}

std::u16string Circles(int count) { return std::u16string(count, kMatchedMark); }

// Ten characters of its own for every line number, so distinct lines never share a character.
std::u16string DistinctLine(int number) {
  std::u16string line;
  for (int k = 0; k < 10; ++k) line.push_back(static_cast<char16_t>(0x4E00 + number * 10 + k));
  return line;
}

// ---- One typed line against one reference line ----

const std::u16string kLetters14 = u"ABCDEFGHIJKLMN";
const std::u16string kLetters20 = u"ABCDEFGHIJKLMNOPQRST";

struct AlignmentCase {
  const char* name;
  std::u16string reference;
  std::u16string typed;
  std::u16string reference_copy;
  std::u16string typed_copy;
  int hits, missing, extra;
  double score;
  std::u16string missed_chars, wrong_chars;
};

void PrintTo(const AlignmentCase& c, std::ostream* out) { *out << c.name; }

class Alignment : public testing::TestWithParam<AlignmentCase> {};

// Typed line 1 of two, matched to reference line 1: neither the last typed line nor b = TypedCount.
// Typed line 2, "★★", matches nothing.
TEST_P(Alignment, MarksAndCounts) {
  const AlignmentCase& c = GetParam();
  const MatchResult result = ScrLoop(Reference({c.reference}), Typed({c.typed, u"★★"}), 0);
  ASSERT_EQ(result.lines.size(), 2u);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.best_line, 1);
  EXPECT_EQ(line.reference_copy, c.reference_copy);
  EXPECT_EQ(line.typed_copy, c.typed_copy);
  EXPECT_EQ(line.hits, c.hits);
  EXPECT_EQ(line.missing, c.missing);
  EXPECT_EQ(line.extra, c.extra);
  EXPECT_DOUBLE_EQ(line.score, c.score);
  EXPECT_EQ(result.totals.missed_chars, c.missed_chars);
  EXPECT_EQ(result.totals.wrong_chars, c.wrong_chars + u"★★");  // line 2 is unmatched
}

INSTANTIATE_TEST_SUITE_P(
    Matching, Alignment,
    testing::Values(
        AlignmentCase{"Identical", kLetters14, u"ABCDEFGHIJKLMN", Circles(14), Circles(14), 14, 0,
                      0, 14, u"", u""},
        AlignmentCase{"LeftOut", kLetters14, u"ABDEFGHIJKLMN", u"○○C" + Circles(11), Circles(13),
                      13, 1, 0, 12.5, u"C", u""},
        AlignmentCase{"Inserted", kLetters14, u"ABXCDEFGHIJKLMN", Circles(14), u"○○X" + Circles(12),
                      14, 0, 1, 13.5, u"", u"X"},
        AlignmentCase{"Swapped", kLetters14, u"BACDEFGHIJKLMN", u"○B" + Circles(12),
                      u"ＸＸ" + Circles(12), 13, 1, 1, 12, u"B", u"BA"},
        AlignmentCase{"Replaced", kLetters14, u"ABCDXFGHIJKLMN", u"○○○○E" + Circles(9),
                      u"○○○○Ｘ" + Circles(9), 13, 1, 0, 12.5, u"E", u""},
        // Four wrong characters in a row: the "＃＃" run lets the look-ahead reach C.
        AlignmentCase{"WrongRun", kLetters14, u"ABwxyzCDEFGHIJKLMN", Circles(14),
                      u"○○wxyz" + Circles(12), 14, 0, 4, 12, u"", u"wxyz"},
        // F and G swapped: the look-ahead finds F, sees the swapped pair and charges it extra;
        // G is then taken two places back.
        AlignmentCase{"SwappedLater", kLetters14, u"ABCDEGFHIJKLMN", Circles(14),
                      u"○○○○○○Ｘ" + Circles(7), 14, 0, 1, 13.5, u"", u"F"},
        // After C was left out i and j differ: the swapped-pair test reads typed i and i + 1
        // (H, I here), finds no pair, and G is simply matched.
        AlignmentCase{"PairTestAtReferencePosition", kLetters14, u"ABDEFHGIJKLMN",
                      u"○○C" + Circles(11), Circles(13), 13, 1, 0, 12.5, u"C", u""},
        // An inserted Q whose first occurrence lies more than 13 places away counted from both
        // line ends is judged wrong: extra. Closer from the end, it is only shown wrong.
        AlignmentCase{"InsertedFarFromBothEnds", kLetters20, u"ABQCDEFGHIJKLMNOPRST",
                      Circles(16) + u"Q○○○", u"○○Q" + Circles(17), 19, 1, 1, 18, u"Q", u"Q"},
        AlignmentCase{"InsertedFarFromStartOnly", kLetters20, u"ABQCDEFGHIJKLMNOPRS",
                      Circles(16) + u"Q○○T", u"○○Ｘ" + Circles(16), 18, 2, 0, 17, u"QT", u"Q"},
        AlignmentCase{"InsertedFarFromEndOnly", kLetters20, u"ABPCDEFGHIJKLMNOQRSTz",
                      Circles(15) + u"P" + Circles(4), u"○○Ｘ" + Circles(17) + u"Ｘ", 19, 1, 0,
                      18.5, u"P", u"P"},
        // An inserted character near its source takes that source in the pre-pass; it is then
        // shown wrong but not counted.
        AlignmentCase{"InsertedFoundNear", kLetters20, u"ABCFDEFGHIJKLMNOPQRST", Circles(20),
                      u"○○○Ｘ" + Circles(17), 20, 0, 0, 20, u"", u"F"},
        // Boundaries of the rules on short lines.
        AlignmentCase{"SwappedPairOfTwo", u"AB", u"BA", Circles(2), u"○Ｘ", 2, 0, 1, 1.5, u"",
                      u"A"},
        AlignmentCase{"WrongRunNotAtLineEnd", u"ABC", u"ACbC", u"○B○", u"○○bＸ", 2, 1, 1, 1, u"B",
                      u"b"},
        AlignmentCase{"TwoBackOnlyFromFifth", u"ABC", u"aBAC", u"○B○", u"aＸ○○", 2, 1, 1, 1, u"B",
                      u"aB"},
        AlignmentCase{"OneBack", u"ABCD", u"AcbCDB", Circles(4), u"○cb○○○", 4, 0, 2, 3, u"", u"cb"},
        AlignmentCase{"SkippedTestNeedsFiveMore", u"ABCDE", u"BCDAE", u"○BC○○", u"ＸＸ○○○", 3, 2, 0,
                      2, u"BC", u"BC"},
        // A typed Ｘ is taken for a mark by the counting pass and costs nothing.
        AlignmentCase{"InsertedTypedX", kLetters14, u"ABＸCDEFGHIJKLMN", Circles(14),
                      u"○○Ｘ" + Circles(12), 14, 0, 0, 14, u"", u""},
        // A typed ○ is kept apart from the marks as ● and shown as Ｘ.
        AlignmentCase{"TypedCircle", kLetters14, u"AB○CDEFGHIJKLMN", Circles(14),
                      u"○○Ｘ" + Circles(12), 14, 0, 1, 13.5, u"", u""}),
    [](const testing::TestParamInfo<AlignmentCase>& info) { return info.param.name; });

TEST(Matching, DoubleLetterOMarksEarlierCharactersWrong) {
  // A, B and both Ｏ lie at or before "ＯＯ" and carry "＃". The "＃＃" run then carries the
  // pointer past X, so the swapped-pair rule never sees the Ｏ pair and charges nothing extra.
  const MatchResult result = ScrLoop(Reference({u"ABＯＯCDEF"}), Typed({u"AXＯＯCDEF", u"★★"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.reference_copy, u"○B" + Circles(6));
  EXPECT_EQ(line.typed_copy, u"○Ｘ" + Circles(6));
  EXPECT_EQ(line.hits, 7);
  EXPECT_EQ(line.missing, 1);
  EXPECT_EQ(line.extra, 0);
  EXPECT_DOUBLE_EQ(line.score, 6.5);
}

TEST(Matching, LineNumberEqualToTypedCountSearchesUnmatchedTypedCharacters) {
  // Reference line 2 against TypedCount 2: the swapped B finds its reference B and counts a hit,
  // A finds nothing after position 2 and counts extra.
  const MatchResult result = ScrLoop(Reference({u"0123456789", u"ABCDEFGHIJKLMN"}),
                                     Typed({u"BACDEFGHIJKLMN", u"0123456789"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.best_line, 2);
  EXPECT_EQ(line.reference_copy, u"○B" + Circles(12));
  EXPECT_EQ(line.typed_copy, u"○A" + Circles(12));
  EXPECT_EQ(line.hits, 14);
  EXPECT_EQ(line.missing, 1);
  EXPECT_EQ(line.extra, 2);
  EXPECT_DOUBLE_EQ(line.score, 12.5);
  EXPECT_EQ(result.totals.wrong_chars, u"A");
}

// ---- The last typed line ----

TEST(Matching, LastTypedLineShorterIsChargedOnlyForWhatWasTyped) {
  const MatchResult last = ScrLoop(Reference({u"ABCDEFGHIJKLMN"}), Typed({u"ABCDEFGHIJ"}), 0);
  EXPECT_EQ(last.lines[0].reference_copy, Circles(10));
  EXPECT_EQ(last.lines[0].missing, 0);
  EXPECT_DOUBLE_EQ(last.lines[0].score, 10);
  EXPECT_EQ(last.totals.total_chars, 10);

  const MatchResult inner =
      ScrLoop(Reference({u"ABCDEFGHIJKLMN"}), Typed({u"ABCDEFGHIJ", u"★★"}), 0);
  EXPECT_EQ(inner.lines[0].reference_copy, Circles(10) + u"KLMN");
  EXPECT_EQ(inner.lines[0].missing, 4);
  EXPECT_DOUBLE_EQ(inner.lines[0].score, 8);
  EXPECT_EQ(inner.totals.total_chars, 14);
  EXPECT_EQ(inner.totals.missed_chars, u"KLMN");
}

TEST(Matching, LastTypedLineSearchesPastTheCut) {
  // m = 3, yet the counting pass finds H at reference position 8.
  const MatchResult result = ScrLoop(Reference({u"ABCDEFGH"}), Typed({u"ABH"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.reference_copy, u"○○C");
  EXPECT_EQ(line.typed_copy, u"○○○");
  EXPECT_EQ(line.hits, 3);
  EXPECT_EQ(line.missing, 1);
  EXPECT_DOUBLE_EQ(line.score, 2.5);
  EXPECT_EQ(result.totals.total_chars, 3);
  EXPECT_EQ(result.totals.missed_chars, u"C");
}

TEST(Matching, OneCharacterTypedLineStaysInsideItsText) {
  // Matching A sends the pointer past the end and back to 0; B then reads nothing there.
  const MatchResult result = ScrLoop(Reference({u"AB"}), Typed({u"A", u"★★"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.reference_copy, u"○B");
  EXPECT_EQ(line.typed_copy, u"○");
  EXPECT_EQ(line.hits, 1);
  EXPECT_EQ(line.missing, 1);
  EXPECT_DOUBLE_EQ(line.score, 0.5);
}

// ---- Line search ----

struct SearchCase {
  const char* name;
  std::vector<std::u16string> reference;
  std::vector<std::u16string> typed;
  std::vector<int> best_lines;  // expected BestLine of every typed line
};

void PrintTo(const SearchCase& c, std::ostream* out) { *out << c.name; }

class LineSearch : public testing::TestWithParam<SearchCase> {};

TEST_P(LineSearch, ChoosesTheLine) {
  const SearchCase& c = GetParam();
  const MatchResult result = ScrLoop(Reference(c.reference), Typed(c.typed), 0);
  std::vector<int> best_lines;
  for (const ScoredLine& line : result.lines) best_lines.push_back(line.best_line);
  EXPECT_EQ(best_lines, c.best_lines);
}

std::vector<std::u16string> DistinctLines(int count) {
  std::vector<std::u16string> lines;
  for (int r = 1; r <= count; ++r) lines.push_back(DistinctLine(r));
  return lines;
}

// Typed lines 1..count of "★★" (in no reference line), with the given lines at their numbers.
std::vector<std::u16string> TypedAt(int count, std::vector<std::pair<int, std::u16string>> placed) {
  std::vector<std::u16string> lines(static_cast<std::size_t>(count), u"★★");
  for (auto& [number, text] : placed) lines[static_cast<std::size_t>(number - 1)] = text;
  return lines;
}

std::vector<std::u16string> With(std::vector<std::u16string> lines, int number,
                                 std::u16string text) {
  lines[static_cast<std::size_t>(number - 1)] = std::move(text);
  return lines;
}

std::vector<int> Unmatched(int count, std::vector<std::pair<int, int>> matched) {
  std::vector<int> lines(static_cast<std::size_t>(count), 0);
  for (auto [t, b] : matched) lines[static_cast<std::size_t>(t - 1)] = b;
  return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Matching, LineSearch,
    testing::Values(
        SearchCase{"WindowReaches25Lines", DistinctLines(40), {DistinctLine(26)}, {26}},
        SearchCase{"Window30LinesAwayUnmatched", DistinctLines(40), {DistinctLine(31)}, {0}},
        SearchCase{"TieKeepsLowerLine", {u"ABCD", u"ABCD"}, {u"ABCD", u"ABCD"}, {1, 2}},
        SearchCase{"UsedLineNotOfferedAgain",
                   {u"ABCDEFGH", u"QRSTUVWX"},
                   {u"ABCDEFGH", u"ABCDEFGH"},
                   {1, 0}},
        // 1.5 x 1 - 6/4 = 0 does not win; against 5 characters 0.25 does.
        SearchCase{"ScoreZeroNeverWins", {u"AQRSTU"}, {u"AZ", u"★★"}, {0, 0}},
        SearchCase{"SmallPositiveScoreWins", {u"AQRST"}, {u"AZ", u"★★"}, {1, 0}},
        SearchCase{"OneCharacterReferenceLineSkipped", {u"A", u"ZZ"}, {u"A", u"★★"}, {0, 0}},
        // A typed ○ meets the mark left by an earlier find, but not before one.
        SearchCase{"TypedCircleAfterAHit", {u"ABCDEF"}, {u"A○", u"★★"}, {1, 0}},
        SearchCase{"TypedCircleBeforeAnyHit", {u"ABCDEF"}, {u"○A", u"★★"}, {0, 0}},
        // Reference line 99 beats line 98 and is then refused.
        SearchCase{"Line99WinsAndIsRefused",
                   With(With(DistinctLines(99), 98, u"ABCDEFGHIJ"), 99, u"ABCDEFGHIJKL"),
                   TypedAt(100, {{100, u"ABCDEFGHIJKL"}}), Unmatched(100, {})},
        SearchCase{"Line98StillMatches", DistinctLines(110),
                   TypedAt(100, {{100, DistinctLine(98)}}), Unmatched(100, {{100, 98}})},
        // Line 100 would win but is never looked at, so line 98 does.
        SearchCase{"LinesAbove99NeverExamined", DistinctLines(110),
                   TypedAt(100, {{100, DistinctLine(98).substr(0, 6) + DistinctLine(100)}}),
                   Unmatched(100, {{100, 98}})},
        SearchCase{
            "From125NoCandidate", DistinctLines(130),
            TypedAt(125,
                    {{123, DistinctLine(98)}, {124, DistinctLine(99)}, {125, DistinctLine(100)}}),
            Unmatched(125, {{123, 98}})}),
    [](const testing::TestParamInfo<SearchCase>& info) { return info.param.name; });

TEST(Matching, LineThatScoresNothingLeavesItsReferenceLineFree) {
  // "A○" takes line 1 but scores 0; line 1 is then still there for typed line 2.
  const MatchResult result = ScrLoop(Reference({u"ABCDEF"}), Typed({u"A○", u"ABCDEF", u"★★"}), 0);
  EXPECT_EQ(result.lines[0].best_line, 1);
  EXPECT_EQ(result.lines[0].typed_copy, u"○Ｘ");
  EXPECT_DOUBLE_EQ(result.lines[0].score, 0);
  EXPECT_EQ(result.lines[1].best_line, 1);
  EXPECT_DOUBLE_EQ(result.lines[1].score, 6);
  EXPECT_EQ(result.totals.total_chars, 6);
  EXPECT_EQ(result.totals.error_count, 0);
  // Its unmatched reference characters are collected all the same.
  EXPECT_EQ(result.totals.missed_chars, u"BCDEF");
}

TEST(Matching, UnmatchedLineCostsNothingAndReportsItsCharacters) {
  const MatchResult result = ScrLoop(Reference({u"ABCDEF"}), Typed({u"甲乙○丙  "}), 1);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.best_line, 0);
  EXPECT_EQ(line.reference_line, u"");
  EXPECT_EQ(line.reference_copy, u"");
  EXPECT_EQ(line.typed_copy, u"甲乙○丙");  // no marks, a typed ○ stays
  EXPECT_EQ(line.typed_line, u"甲乙○丙");
  EXPECT_EQ(line.hits + line.missing + line.extra, 0);
  EXPECT_DOUBLE_EQ(line.score, 0);
  EXPECT_DOUBLE_EQ(line.adjusted_score, 0);
  const MatchTotals& totals = result.totals;
  EXPECT_EQ(totals.wrong_chars, u"甲乙丙");
  EXPECT_EQ(totals.missed_chars, u"");
  EXPECT_EQ(totals.total_chars, 0);
  EXPECT_EQ(totals.error_count, 0);
  EXPECT_EQ(totals.score_sum, 0);
  EXPECT_EQ(totals.highest_scored_line, 1);
  EXPECT_EQ(std::count(totals.ref_used.begin(), totals.ref_used.end(), true), 0);
}

TEST(Matching, TrailingBlanksStrippedForTheListing) {
  const MatchResult result = ScrLoop(Reference({u"ABCDEF  "}), Typed({u"ABCDEF", u"★★"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.reference_line, u"ABCDEF");
  EXPECT_EQ(line.reference_copy, Circles(6));  // the blanks were missing and are dropped
  EXPECT_EQ(line.missing, 2);
  EXPECT_EQ(result.totals.missed_chars, u"");
}

TEST(Matching, NoTypedLines) {
  for (const TypedLines& typed : {TypedLines{}, TypedLines{u""}}) {
    const MatchResult result = ScrLoop(Reference({u"ABCDEF"}), typed, 0);
    EXPECT_TRUE(result.lines.empty());
    EXPECT_EQ(result.totals.ref_used.size(), 201u);
    EXPECT_EQ(result.totals.highest_scored_line, 1);
  }
}

// ---- Totals ----

struct TotalsCase {
  double subtract_score;
  double deduction;
  double adjusted_score_sum;
};

void PrintTo(const TotalsCase& c, std::ostream* out) {
  *out << "SubtractScore " << c.subtract_score;
}

class Totals : public testing::TestWithParam<TotalsCase> {};

TEST_P(Totals, SumOverScoredLines) {
  const TotalsCase& c = GetParam();
  // Typed 1 leaves C out of line 1 (12.5), typed 2 copies line 3 (10), typed 3 matches nothing.
  const MatchResult result =
      ScrLoop(Reference({u"ABCDEFGHIJKLMN", u"甲乙丙丁戊己", u"0123456789"}),
              Typed({u"ABDEFGHIJKLMN", u"0123456789", u"★★"}), c.subtract_score);
  const MatchTotals& totals = result.totals;
  EXPECT_DOUBLE_EQ(totals.deduction, c.deduction);
  EXPECT_DOUBLE_EQ(totals.score_sum, 22.5);
  EXPECT_DOUBLE_EQ(totals.adjusted_score_sum, c.adjusted_score_sum);
  EXPECT_DOUBLE_EQ(result.lines[0].adjusted_score, std::max(0.0, 13 - c.deduction));
  EXPECT_EQ(totals.total_chars, 24);
  EXPECT_EQ(totals.error_count, 1);
  EXPECT_EQ(totals.highest_scored_line, 3);
  EXPECT_TRUE(totals.ref_used[1]);
  EXPECT_FALSE(totals.ref_used[2]);
  EXPECT_TRUE(totals.ref_used[3]);
}

// The adjusted sum grows only when the deduction is above 0.5.
INSTANTIATE_TEST_SUITE_P(Matching, Totals,
                         testing::Values(TotalsCase{0, 0.5, 0}, TotalsCase{0.5, 0.5, 0},
                                         TotalsCase{0.8, 0.8, 22.2}, TotalsCase{1, 1, 22},
                                         TotalsCase{20, 20, 10}));

// ---- Invariants over random papers ----

// The line search as the rule states it, to check the counting the scorer does instead.
int ExpectedBestLine(const ReferenceLines& reference, const TypedLines& typed, int t,
                     const std::vector<bool>& used) {
  const int typed_count = static_cast<int>(typed.size()) - 1;
  int best_line = 0;
  double best_score = 0;
  for (int r = std::max(1, t - 25); r <= std::min(99, t + 25); ++r) {
    if (used[static_cast<std::size_t>(r)]) continue;
    std::u16string copy = r < static_cast<int>(reference.size()) ? reference[r] : u"";
    double m = static_cast<double>(copy.size());
    if (m <= 1) continue;
    const double n = static_cast<double>(typed[t].size());
    if (t == typed_count && n < m) m = n;
    int hits = 0;
    for (char16_t ch : typed[t]) {
      const auto at = copy.find(ch);
      if (at != std::u16string::npos) {
        ++hits;
        copy[at] = kMatchedMark;
      }
    }
    const double score = hits - (m / 2 - hits) / 2;
    if (score > best_score) {
      best_line = r;
      best_score = score;
    }
  }
  return best_line < 99 ? best_line : 0;
}

// Lines from a small alphabet that holds every mark, so the rare rules fire often.
std::u16string RandomLine(std::mt19937& random, int min_length, int max_length) {
  static const std::u16string alphabet = u"ABCDE甲乙○●＃ＯＸ";
  std::uniform_int_distribution<int> length(min_length, max_length);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::u16string line;
  for (int k = length(random); k > 0; --k) line.push_back(alphabet[pick(random)]);
  return line;
}

std::u16string Mutate(std::u16string line, std::mt19937& random) {
  std::uniform_int_distribution<int> percent(0, 99);
  std::u16string out;
  for (char16_t ch : line) {
    const int roll = percent(random);
    if (roll < 8) continue;  // left out
    if (roll < 16)
      out += RandomLine(random, 1, 1);  // replaced
    else
      out.push_back(ch);
    if (roll >= 92) out += RandomLine(random, 1, 2);  // inserted
  }
  return out.size() >= 2 ? out : line;
}

TEST(Matching, InvariantsOnRandomPapers) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    const int reference_count = seed % 2 ? 30 : 120;
    const int typed_count = seed % 2 ? 40 : 140;
    std::vector<std::u16string> reference_lines, typed_lines;
    for (int r = 1; r <= reference_count; ++r) reference_lines.push_back(RandomLine(random, 0, 24));
    std::uniform_int_distribution<int> shift(-30, 30);
    for (int t = 1; t <= typed_count; ++t) {
      const int source = std::clamp(t + shift(random), 1, reference_count);
      typed_lines.push_back(t % 7 == 0 ? RandomLine(random, 2, 20)
                                       : Mutate(reference_lines[source - 1], random));
    }
    const ReferenceLines reference = Reference(reference_lines);
    const TypedLines typed = Typed(typed_lines);
    const MatchResult result = ScrLoop(reference, typed, 1);
    ASSERT_EQ(result.lines.size(), typed_lines.size());

    std::vector<bool> used(201, false);
    long long total_chars = 0, errors = 0, missing = 0;
    double score_sum = 0;
    for (const ScoredLine& line : result.lines) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " line " << line.typed_number);
      EXPECT_EQ(line.best_line, ExpectedBestLine(reference, typed, line.typed_number, used));
      EXPECT_GE(line.hits, 0);
      EXPECT_GE(line.missing, 0);
      EXPECT_GE(line.extra, 0);
      EXPECT_DOUBLE_EQ(line.score, std::max(0.0, line.hits - (line.missing + line.extra) / 2.0));
      EXPECT_EQ(line.score * 2, static_cast<int>(line.score * 2));
      EXPECT_EQ(line.typed_copy.size(), line.typed_line.size());
      // Every reference character charged is either matched or missing.
      EXPECT_EQ(line.missing, std::count_if(line.reference_copy.begin(), line.reference_copy.end(),
                                            [](char16_t ch) { return ch != kMatchedMark; }));
      if (line.best_line == 0) {
        EXPECT_TRUE(line.reference_copy.empty());
      }
      missing += line.missing;
      if (line.score > 0) {
        EXPECT_FALSE(used[static_cast<std::size_t>(line.best_line)]);
        used[static_cast<std::size_t>(line.best_line)] = true;
        total_chars += static_cast<long long>(line.reference_copy.size());
        errors += line.missing + line.extra;
        score_sum += line.score;
      }
    }
    EXPECT_EQ(result.totals.ref_used, used);
    EXPECT_EQ(result.totals.total_chars, total_chars);
    EXPECT_EQ(result.totals.error_count, errors);
    EXPECT_DOUBLE_EQ(result.totals.score_sum, score_sum);
    EXPECT_EQ(static_cast<long long>(result.totals.missed_chars.size()), missing);
  }
}

}  // namespace
}  // namespace keyin
