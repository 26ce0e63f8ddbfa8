#include "scoring/matching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace keyin {
namespace {

// Line tables keep entry 0 unused, as the scorer does.
std::vector<std::u16string> Table(std::vector<std::u16string> lines) {
  lines.insert(lines.begin(), u"");
  return lines;
}
std::u16string Circles(int count) { return std::u16string(count, kMatchedMark); }

// Typed line 1 against reference line 1; typed line 2, "★★", matches nothing, so line 1 is
// neither the last typed line nor TypedCount.
TEST(Matching, MarksAndCounts) {
  const std::u16string kLetters20 = u"ABCDEFGHIJKLMNOPQRST";
  const struct {
    std::u16string typed, reference_copy, typed_copy;
    int hits, missing, extra;
    std::u16string wrong, reference = u"ABCDEFGHIJKLMN";
  } cases[] = {
      {u"ABCDEFGHIJKLMN", Circles(14), Circles(14), 14, 0, 0, u""},
      {u"ABDEFGHIJKLMN", u"○○C" + Circles(11), Circles(13), 13, 1, 0, u""},
      {u"ABXCDEFGHIJKLMN", Circles(14), u"○○X" + Circles(12), 14, 0, 1, u"X"},
      {u"BACDEFGHIJKLMN", u"○B" + Circles(12), u"ＸＸ" + Circles(12), 13, 1, 1, u"BA"},
      {u"ABCDXFGHIJKLMN", u"○○○○E" + Circles(9), u"○○○○Ｘ" + Circles(9), 13, 1, 0, u""},
      // A typed ○ is kept apart from the marks and shown as Ｘ; a typed Ｘ passes for a mark.
      {u"AB○CDEFGHIJKLMN", Circles(14), u"○○Ｘ" + Circles(12), 14, 0, 1, u""},
      {u"ABＸCDEFGHIJKLMN", Circles(14), u"○○Ｘ" + Circles(12), 14, 0, 0, u""},
      // Four wrong characters in a row: the "＃＃" run lets the look-ahead reach C.
      {u"ABwxyzCDEFGHIJKLMN", Circles(14), u"○○wxyz" + Circles(12), 14, 0, 4, u"wxyz"},
      // F and G swapped: the pair is charged extra once, G is taken two places back.
      {u"ABCDEGFHIJKLMN", Circles(14), u"○○○○○○Ｘ" + Circles(7), 14, 0, 1, u"F"},
      // The swapped-pair test reads typed i and i + 1 even after i and j part.
      {u"ABDEFHGIJKLMN", u"○○C" + Circles(11), Circles(13), 13, 1, 0, u""},
      // An inserted Q whose first occurrence lies over 13 places from both line ends is extra;
      // closer to one end, it is only shown wrong; near its source it takes that source.
      {u"ABQCDEFGHIJKLMNOPRST", Circles(16) + u"Q○○○", u"○○Q" + Circles(17), 19, 1, 1, u"Q",
       kLetters20},
      {u"ABQCDEFGHIJKLMNOPRS", Circles(16) + u"Q○○T", u"○○Ｘ" + Circles(16), 18, 2, 0, u"Q",
       kLetters20},
      {u"ABPCDEFGHIJKLMNOQRSTz", Circles(15) + u"P" + Circles(4), u"○○Ｘ" + Circles(17) + u"Ｘ", 19,
       1, 0, u"P", kLetters20},
      {u"ABCFDEFGHIJKLMNOPQRST", Circles(20), u"○○○Ｘ" + Circles(17), 20, 0, 0, u"F", kLetters20},
      // "ＯＯ" marks the characters up to it wrong; the run then skips the swapped-pair test.
      {u"AXＯＯCDEF", u"○B" + Circles(6), u"○Ｘ" + Circles(6), 7, 1, 0, u"", u"ABＯＯCDEF"},
      // Boundaries of the look-back and look-ahead rules on short lines.
      {u"BA", Circles(2), u"○Ｘ", 2, 0, 1, u"A", u"AB"},
      {u"ACbC", u"○B○", u"○○bＸ", 2, 1, 1, u"b", u"ABC"},
      {u"AcbCDB", Circles(4), u"○cb○○○", 4, 0, 2, u"cb", u"ABCD"},
      {u"BCDAE", u"○BC○○", u"ＸＸ○○○", 3, 2, 0, u"BC", u"ABCDE"},
      {u"A", u"○B", u"○", 1, 1, 0, u"", u"AB"},
      // Trailing blanks are missing but dropped from the copy.
      {u"ABCDEF", Circles(6), Circles(6), 6, 2, 0, u"", u"ABCDEF  "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const MatchResult result = ScrLoop(Table({c.reference}), Table({c.typed, u"★★"}), 0);
    const ScoredLine& line = result.lines[0];
    EXPECT_EQ(line.best_line, 1);
    EXPECT_EQ(line.reference_copy, c.reference_copy);
    EXPECT_EQ(line.typed_copy, c.typed_copy);
    EXPECT_EQ(std::tuple(line.hits, line.missing, line.extra),
              std::tuple(c.hits, c.missing, c.extra));
    EXPECT_EQ(result.totals.wrong_chars, c.wrong + u"★★");
  }
}

TEST(Matching, LineNumberEqualToTypedCountSearchesUnmatchedTypedCharacters) {
  // Against line 2 = TypedCount the swapped B finds its reference B (a hit), A finds nothing.
  const MatchResult result = ScrLoop(Table({u"0123456789", u"ABCDEFGHIJKLMN"}),
                                     Table({u"BACDEFGHIJKLMN", u"0123456789"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(line.best_line, 2);
  EXPECT_EQ(line.typed_copy, u"○A" + Circles(12));
  EXPECT_EQ(std::tuple(line.hits, line.missing, line.extra), std::tuple(14, 1, 2));
  EXPECT_EQ(result.totals.wrong_chars, u"A");
}

TEST(Matching, LastTypedLineIsChargedOnlyForWhatWasTyped) {
  const MatchResult last = ScrLoop(Table({u"ABCDEFGHIJKLMN"}), Table({u"ABCDEFGHIJ"}), 0);
  EXPECT_EQ(last.lines[0].reference_copy, Circles(10));
  EXPECT_EQ(last.totals.total_chars, 10);
  // The cut is at 3, yet the counting pass finds H at position 8.
  const MatchResult past = ScrLoop(Table({u"ABCDEFGH"}), Table({u"ABH"}), 0);
  EXPECT_EQ(past.lines[0].reference_copy, u"○○C");
  EXPECT_EQ(past.lines[0].typed_copy, u"○○○");
  EXPECT_EQ(std::tuple(past.lines[0].hits, past.lines[0].missing), std::tuple(3, 1));
}

TEST(Matching, LineSearch) {
  const auto distinct = [](int number) { return std::u16string(10, char16_t(0x4E00 + number)); };
  std::vector<std::u16string> reference(130), typed(125, u"★★");
  for (int r = 1; r <= 130; ++r) reference[r - 1] = distinct(r);
  reference[97] = typed[122] = u"ABCDEFGHIJ";
  reference[98] = typed[99] = u"ABCDEFGHIJKL";  // typed line 100: line 99 wins and is refused
  typed[124] = distinct(100);                   // from typed line 125 no candidate
  const struct {
    std::vector<std::u16string> reference, typed;
    std::vector<std::pair<int, int>> matched;  // typed line, BestLine; all others unmatched
  } cases[] = {
      {reference, {distinct(26)}, {{1, 26}}},  // the window reaches 25 lines down
      {reference, {distinct(27)}, {}},
      {{u"ABCD", u"ABCD"}, {u"ABCD", u"ABCD"}, {{1, 1}, {2, 2}}},  // a tie keeps the lower line
      {{u"ABCDEFGH", u"QRSTUVWX"}, {u"ABCDEFGH", u"ABCDEFGH"}, {{1, 1}}},  // used: not offered
      // A typed ○ meets the mark left by an earlier find, but not before one.
      {{u"ABCDEF"}, {u"A○", u"★★"}, {{1, 1}}},
      {{u"ABCDEF"}, {u"○A", u"★★"}, {}},
      {reference, typed, {{123, 98}}},  // line 98 is at the window's lower edge
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const MatchResult result = ScrLoop(Table(c.reference), Table(c.typed), 0);
    std::vector<std::pair<int, int>> matched;
    for (const ScoredLine& line : result.lines) {
      if (line.best_line != 0) matched.emplace_back(line.typed_number, line.best_line);
    }
    EXPECT_EQ(matched, c.matched);
  }
}

TEST(Matching, NoTypedLines) {
  const MatchResult result = ScrLoop(Table({u"ABCDEF"}), TypedLines{}, 0);  // not even entry 0
  EXPECT_TRUE(result.lines.empty());
  EXPECT_EQ(result.totals.ref_used.size(), 201u);
}

// The line search as the rule states it: every typed character takes the first unused
// occurrence in a copy of the candidate; the scorer counts instead.
int LiteralBestLine(const ReferenceLines& reference, const TypedLines& typed, int t,
                    const std::vector<bool>& used) {
  int best_line = 0;
  double best_score = 0;
  for (int r = std::max(1, t - 25); r <= std::min(99, t + 25); ++r) {
    std::u16string copy = r < static_cast<int>(reference.size()) ? reference[r] : u"";
    double m = static_cast<double>(copy.size());
    if (used[r] || m <= 1) continue;
    if (t + 1 == static_cast<int>(typed.size()))
      m = std::min(m, static_cast<double>(typed[t].size()));
    int hits = 0;
    for (char16_t ch : typed[t]) {
      if (const auto at = copy.find(ch); at != std::u16string::npos) {
        ++hits;
        copy[at] = kMatchedMark;
      }
    }
    if (const double score = hits - (m / 2 - hits) / 2; score > best_score) {
      best_line = r;
      best_score = score;
    }
  }
  return best_line < 99 ? best_line : 0;
}

TEST(Matching, LineSearchCountsAsTheLiteralRule) {
  const std::u16string alphabet = u"ABCDE甲乙○●＃ＯＸ";  // every mark, so the rare rules fire
  std::mt19937 random(7);
  const auto random_line = [&](unsigned max_length) {
    std::u16string line(random() % (max_length + 1), u' ');
    for (char16_t& ch : line) ch = alphabet[random() % alphabet.size()];
    return line;
  };
  for (int paper = 0; paper < 20; ++paper) {
    ReferenceLines reference{u""};
    TypedLines typed{u""};
    while (reference.size() <= 120) reference.push_back(random_line(24));
    while (typed.size() <= (paper % 2 ? 40u : 140u)) typed.push_back(random_line(20));
    std::vector<bool> used(201, false);
    for (const ScoredLine& line : ScrLoop(reference, typed, 0).lines) {
      ASSERT_EQ(line.best_line, LiteralBestLine(reference, typed, line.typed_number, used))
          << "paper " << paper << " line " << line.typed_number;
      if (line.score > 0) used[line.best_line] = true;
    }
  }
}

}  // namespace
}  // namespace keyin
