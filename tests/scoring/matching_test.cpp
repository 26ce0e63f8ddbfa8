#include "scoring/matching.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

// The engine's asserts run where its tests run.
#ifdef NDEBUG
#error "built with NDEBUG: the asserts of the code under test would not run"
#endif

namespace keyin {
namespace {

// Line tables keep entry 0 unused, as the scorer does.
std::vector<std::u16string> Table(std::vector<std::u16string> lines) {
  lines.insert(lines.begin(), u"");
  return lines;
}
std::u16string O(int count) { return std::u16string(count, kMatchedMark); }

// Typed line 1 against reference line 1; typed line 2, "★★", matches nothing, so line 1 is
// neither the last typed line nor TypedCount.
TEST(Matching, MarksAndCounts) {
  const std::u16string k20 = u"ABCDEFGHIJKLMNOPQRST";
  const struct {
    const char* rule;
    std::u16string typed, reference_copy, typed_copy;
    int hits, missing, extra;
    std::u16string wrong, reference = u"ABCDEFGHIJKLMN";
  } cases[] = {
      {"an exact copy", u"ABCDEFGHIJKLMN", O(14), O(14), 14, 0, 0, u""},
      {"a left-out character is found after the gap", u"ABDEFGHIJKLMN", u"○○C" + O(11), O(13), 13,
       1, 0, u""},
      {"an inserted character is stepped over and extra", u"ABXCDEFGHIJKLMN", O(14), u"○○X" + O(12),
       14, 0, 1, u"X"},
      {"a swapped pair is charged once", u"BACDEFGHIJKLMN", u"○B" + O(12), u"ＸＸ" + O(12), 13, 1,
       1, u"BA"},
      {"a typed ○ is extra and shows Ｘ", u"AB○CDEFGHIJKLMN", O(14), u"○○Ｘ" + O(12), 14, 0, 1,
       u""},
      {"a run of ＃＃ stretches the look-ahead", u"ABwxyzCDEFGHIJKLMN", O(14), u"○○wxyz" + O(12),
       14, 0, 4, u"wxyz"},
      {"a swapped pair inside the line takes the second two places back", u"ABCDEGFHIJKLMN", O(14),
       u"○○○○○○Ｘ" + O(7), 14, 0, 1, u"F"},
      {"the swapped-pair test reads typed i and i + 1 after i and j part", u"ABDEFHGIJKLMN",
       u"○○C" + O(11), O(13), 13, 1, 0, u""},
      {"an insertion far from both line ends is extra", u"ABQCDEFGHIJKLMNOPRST", O(16) + u"Q○○○",
       u"○○Q" + O(17), 19, 1, 1, u"Q", k20},
      {"an insertion near one line end is only shown wrong", u"ABQCDEFGHIJKLMNOPRS",
       O(16) + u"Q○○T", u"○○Ｘ" + O(16), 18, 2, 0, u"Q", k20},
      {"an insertion near its source takes that source", u"ABPCDEFGHIJKLMNOQRSTz",
       O(15) + u"P" + O(4), u"○○Ｘ" + O(17) + u"Ｘ", 19, 1, 0, u"P", k20},
      {"a repeated character is wrong where it stands", u"ABCFDEFGHIJKLMNOPQRST", O(20),
       u"○○○Ｘ" + O(17), 20, 0, 0, u"F", k20},
      {"ＯＯ marks the characters up to it wrong", u"AXＯＯCDEF", u"○B" + O(6), u"○Ｘ" + O(6), 7, 1,
       0, u"", u"ABＯＯCDEF"},
      {"look-back and look-ahead at the line ends", u"BA", O(2), u"○Ｘ", 2, 0, 1, u"A", u"AB"},
      {"characters moved to the front", u"BCDAE", u"○BC○○", u"ＸＸ○○○", 3, 2, 0, u"BC", u"ABCDE"},
      {"trailing reference blanks are missing but not shown", u"ABCDEF", O(6), O(6), 6, 2, 0, u"",
       u"ABCDEF  "},
  };
  for (const auto& c : cases) {
    const MatchResult result = ScrLoop(Table({c.reference}), Table({c.typed, u"★★"}), 0);
    const ScoredLine& line = result.lines[0];
    EXPECT_EQ(
        std::tuple(line.best_line, line.reference_copy, line.typed_copy, line.hits, line.missing,
                   line.extra, result.totals.wrong_chars),
        std::tuple(1, c.reference_copy, c.typed_copy, c.hits, c.missing, c.extra, c.wrong + u"★★"))
        << c.rule;
  }
}

TEST(Matching, TypedCountLineAndTheCutLastLine) {
  // Against line 2 = TypedCount the swapped B finds its reference B (a hit), A finds nothing.
  MatchResult result = ScrLoop(Table({u"0123456789", u"ABCDEFGHIJKLMN"}),
                               Table({u"BACDEFGHIJKLMN", u"0123456789"}), 0);
  const ScoredLine& line = result.lines[0];
  EXPECT_EQ(std::tuple(line.best_line, line.typed_copy, line.hits, line.missing, line.extra),
            std::tuple(2, u"○A" + O(12), 14, 1, 2));
  EXPECT_EQ(result.totals.wrong_chars, u"A");
  // The last typed line is charged only for what was typed.
  result = ScrLoop(Table({u"ABCDEFGHIJKLMN"}), Table({u"ABCDEFGHIJ"}), 0);
  EXPECT_EQ(std::tuple(result.lines[0].reference_copy, result.totals.total_chars),
            std::tuple(O(10), 10));
  // The cut is at 3, yet the counting pass finds H at position 8.
  const ScoredLine past = ScrLoop(Table({u"ABCDEFGH"}), Table({u"ABH"}), 0).lines[0];
  EXPECT_EQ(std::tuple(past.reference_copy, past.typed_copy, past.hits, past.missing),
            std::tuple(u"○○C", O(3), 3, 1));
  EXPECT_TRUE(ScrLoop(Table({u"ABCDEF"}), TypedLines{}, 0).lines.empty());  // not even entry 0
}

TEST(Matching, LineSearch) {
  const auto distinct = [](int number) { return std::u16string(10, char16_t(0x4E00 + number)); };
  std::vector<std::u16string> reference(130), typed(125, u"★★");
  for (int r = 1; r <= 130; ++r) reference[r - 1] = distinct(r);
  reference[97] = typed[122] = u"ABCDEFGHIJ";
  reference[98] = typed[99] = u"ABCDEFGHIJKL";
  typed[124] = distinct(100);
  const struct {
    const char* rule;
    std::vector<std::u16string> reference, typed;
    std::vector<std::pair<int, int>> matched;  // typed line, BestLine; all others unmatched
  } cases[] = {
      {"the window reaches 25 lines down", reference, {distinct(26)}, {{1, 26}}},
      {"and not 26", reference, {distinct(27)}, {}},
      {"line 98 at the window's lower edge matches, line 99 wins and is refused, from typed line "
       "125 on there is no candidate",
       reference,
       typed,
       {{123, 98}}},
      {"a tie keeps the lower line", {u"ABCD", u"ABCD"}, {u"ABCD", u"ABCD"}, {{1, 1}, {2, 2}}},
      {"a line already scored is not offered again",
       {u"ABCDEFGH", u"QRSTUVWX"},
       {u"ABCDEFGH", u"ABCDEFGH"},
       {{1, 1}}},
      {"a typed ○ meets the mark of an earlier find", {u"ABCDEF"}, {u"A○", u"★★"}, {{1, 1}}},
      {"but not before one", {u"ABCDEF"}, {u"○A", u"★★"}, {}},
  };
  for (const auto& c : cases) {
    std::vector<std::pair<int, int>> matched;
    for (const ScoredLine& line : ScrLoop(Table(c.reference), Table(c.typed), 0).lines) {
      if (line.best_line != 0) matched.emplace_back(line.typed_number, line.best_line);
    }
    EXPECT_EQ(matched, c.matched) << c.rule;
  }
}

// The line search as the rule states it: every typed character takes the first unused
// occurrence in a copy of the candidate; the scorer counts instead.
int LiteralBestLine(const ReferenceLines& reference, const TypedLines& typed, int t,
                    const std::vector<bool>& used) {
  int best_line = 0;
  double best_score = 0;
  for (int r = std::max(1, t - 25); r <= std::min(99, t + 25); ++r) {
    std::u16string copy = r < static_cast<int>(reference.size()) ? reference[r] : u"";
    double m = static_cast<double>(copy.size()), hits = 0;
    if (used[r] || m <= 1) continue;
    if (t + 1 == static_cast<int>(typed.size())) m = std::min(m, double(typed[t].size()));
    for (char16_t ch : typed[t]) {
      if (const auto at = copy.find(ch); at != copy.npos) copy[at] = kMatchedMark, ++hits;
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
  const auto random_lines = [&](std::size_t count, unsigned max_length) {
    std::vector<std::u16string> lines{u""};
    while (lines.size() <= count) {
      lines.emplace_back(random() % (max_length + 1), u' ');
      for (char16_t& ch : lines.back()) ch = alphabet[random() % alphabet.size()];
    }
    return lines;
  };
  for (int paper = 0; paper < 20; ++paper) {
    const ReferenceLines reference = random_lines(120, 24);
    const TypedLines typed = random_lines(paper % 2 ? 40 : 140, 20);
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
