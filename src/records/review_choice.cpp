// The rules are taken in order and the first that applies decides. A speed of 0 means the part
// was not taken (or scored nothing), so a part with a speed beats one without whatever the
// error rates; only then does the 10 per cent line between passable and failed parts count.
#include "records/review_choice.h"

#include "support/number_text.h"

namespace keyin {
namespace {

constexpr double kErrorThreshold = 10;

enum class Part { kFirst, kSecond };

Part ChoosePart(double S1, double E1, double S2, double E2) {
  if (S1 == 0 && S2 > 0) return Part::kSecond;
  if (S1 > 0 && S2 == 0) return Part::kFirst;
  if (S1 == 0 && S2 == 0) return E2 < E1 ? Part::kSecond : Part::kFirst;
  const bool first_failed = E1 >= kErrorThreshold;
  const bool second_failed = E2 >= kErrorThreshold;
  if (first_failed && second_failed) return S2 > S1 ? Part::kSecond : Part::kFirst;
  if (!first_failed && second_failed) return Part::kFirst;
  if (first_failed && !second_failed) return Part::kSecond;
  return S2 > S1 || (S2 == S1 && E2 < E1) ? Part::kSecond : Part::kFirst;
}

}  // namespace

ReviewPair SetScr(double Test1Score, double Test1Err, double Test2Score, double Test2Err) {
  const Part chosen = ChoosePart(AsWritten(Test1Score), AsWritten(Test1Err), AsWritten(Test2Score),
                                 AsWritten(Test2Err));
  if (chosen == Part::kSecond) return {Test2Score, Test2Err};
  return {Test1Score, Test1Err};
}

}  // namespace keyin
