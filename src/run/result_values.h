// The six result values of the storage phase: both parts of a paper and the review result.
#pragma once

namespace keyin {

struct ResultValues {
  double Test1Score = 0;
  double Test1Err = 0;
  double Test2Score = 0;
  double Test2Err = 0;
  double ReviewScore = 0;
  double ReviewErr = 0;
  friend bool operator==(const ResultValues&, const ResultValues&) = default;
};

}  // namespace keyin
