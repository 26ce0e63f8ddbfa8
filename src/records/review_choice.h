// The review choice (覆核成績): which of a paper's two test parts counts.
#pragma once

namespace keyin {

struct ReviewPair {
  double ReviewScore = 0;
  double ReviewErr = 0;
  friend bool operator==(const ReviewPair&, const ReviewPair&) = default;
};

// Returns the speed and error rate of the part that counts. The inputs are compared as they
// read back from their 15-digit texts; the pair returned holds the chosen part's own values.
// With both speeds above 0, a part at or above 10 per cent errors wins only when both are; among
// parts on the same side of that line the faster wins, and a tie in speed goes to part 1 unless
// both are below 10 per cent and part 2 has fewer errors.
ReviewPair SetScr(double Test1Score, double Test1Err, double Test2Score, double Test2Err);

}  // namespace keyin
