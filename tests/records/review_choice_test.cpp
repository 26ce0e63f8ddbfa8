#include "records/review_choice.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

struct Case {
  const char* rule;
  double S1, E1, S2, E2;
  int part;  // the part whose values come back
};

void ExpectChoice(const Case& c) {
  const ReviewPair expected = c.part == 1 ? ReviewPair{c.S1, c.E1} : ReviewPair{c.S2, c.E2};
  EXPECT_EQ(SetScr(c.S1, c.E1, c.S2, c.E2), expected)
      << c.rule << ": S1=" << c.S1 << " E1=" << c.E1 << " S2=" << c.S2 << " E2=" << c.E2;
}

TEST(SetScr, APartWithoutSpeedLosesToOneWithSpeed) {
  const Case cases[] = {
      {"1: only part 2 has speed", 0, 0, 50, 40, 2},
      {"1: even with part 1 error-free", 0, 0, 1, 99, 2},
      {"2: only part 1 has speed", 50, 40, 0, 0, 1},
      {"3: neither, part 2 fewer errors", 0, 99, 0, 50, 2},
      {"3: neither, equal errors keep part 1", 0, 99, 0, 99, 1},
      {"3: no stored first part and no speed", 0, 0, 0, 99, 1},
  };
  for (const Case& c : cases) ExpectChoice(c);
}

TEST(SetScr, TheTenPerCentLineDecidesBeforeSpeed) {
  const Case cases[] = {
      {"4: both failed, faster wins", 100, 15, 120, 30, 2},
      {"4: both failed, tie goes to part 1 whatever the errors", 100, 15, 100, 11, 1},
      {"4: exactly 10 counts as failed", 100, 10, 90, 10, 1},
      {"5: only part 2 failed", 50, 9.5, 80, 10, 1},
      {"6: only part 1 failed", 120, 12, 100, 8, 2},
  };
  for (const Case& c : cases) ExpectChoice(c);
}

TEST(SetScr, BothPassedFasterWinsThenFewerErrors) {
  const Case cases[] = {
      {"7: faster part 2", 100, 1, 101, 9, 2},
      {"7: faster part 1", 101, 9, 100, 1, 1},
      {"7: tie, part 2 fewer errors", 100, 5, 100, 3, 2},
      {"7: tie, equal errors keep part 1", 100, 3, 100, 3, 1},
      {"7: tie, part 1 fewer errors", 100, 3, 100, 5, 1},
  };
  for (const Case& c : cases) ExpectChoice(c);
}

TEST(SetScr, ComparesTheValuesAsTheir15DigitTextsReadBack) {
  // 0.1 + 0.2 differs from 0.3 as a double but is written 0.3: a tie, decided by the errors.
  ExpectChoice({"7: tie after writing", 0.3, 5, 0.1 + 0.2, 3, 2});
  // The pair returned holds the chosen part's own, unwritten values.
  EXPECT_EQ(SetScr(0.3, 5, 0.1 + 0.2, 3).ReviewScore, 0.1 + 0.2);
}

TEST(SetScr, TheWrapperSetsOnlyTheReviewPair) {
  ResultValues results{.Test1Score = 120, .Test1Err = 12, .Test2Score = 100, .Test2Err = 8};
  SetScr(results);
  EXPECT_EQ(results.ReviewScore, 100);
  EXPECT_EQ(results.ReviewErr, 8);
  EXPECT_EQ(results.Test1Score, 120);
  EXPECT_EQ(results.Test2Err, 8);
}

}  // namespace
}  // namespace keyin
