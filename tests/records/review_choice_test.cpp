#include "records/review_choice.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(SetScr, RuleTable) {
  const struct {
    const char* rule;
    double S1, E1, S2, E2;
    int part;  // the part whose values come back
  } cases[] = {
      {"1: only part 2 has speed", 0, 0, 50, 40, 2},
      {"2: only part 1 has speed", 50, 40, 0, 0, 1},
      {"3: neither, part 2 fewer errors", 0, 99, 0, 50, 2},
      {"3: neither, equal errors keep part 1", 0, 99, 0, 99, 1},
      {"3: no stored first part and no speed", 0, 0, 0, 99, 1},
      {"4: both failed, faster wins", 100, 15, 120, 30, 2},
      {"4: both failed, tie goes to part 1 whatever the errors", 100, 15, 100, 11, 1},
      {"4: exactly 10 counts as failed", 100, 10, 90, 10, 1},
      {"5: only part 2 failed", 50, 9.5, 80, 10, 1},
      {"6: only part 1 failed", 120, 12, 100, 8, 2},
      {"7: faster part 2", 100, 1, 101, 9, 2},
      {"7: faster part 1", 101, 9, 100, 1, 1},
      {"7: tie, part 2 fewer errors", 100, 5, 100, 3, 2},
      {"7: tie, equal errors keep part 1", 100, 3, 100, 3, 1},
      {"7: tie, part 1 fewer errors", 100, 3, 100, 5, 1},
      // Compared as their 15-digit texts: 0.1 + 0.2 is written 0.3, a tie the errors decide.
      {"7: tie after writing", 0.3, 5, 0.1 + 0.2, 3, 2},
  };
  for (const auto& c : cases) {
    const ReviewPair expected = c.part == 1 ? ReviewPair{c.S1, c.E1} : ReviewPair{c.S2, c.E2};
    EXPECT_EQ(SetScr(c.S1, c.E1, c.S2, c.E2), expected) << c.rule;
  }
}

}  // namespace
}  // namespace keyin
