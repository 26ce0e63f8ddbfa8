// The 16 run parameters of a scoring run, as the argument string gives them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keyin {

// The 16 run parameters, in the order of the argument string, stored as given (no trimming).
struct RunParams {
  std::u16string ExamPlaceNo;
  std::u16string ExamNo;
  std::u16string ExamPaperNo;
  std::u16string Field3;
  std::u16string TestType;  // the kind of run: run_kind.h reads it
  std::u16string UserID;
  std::u16string StuName;
  std::u16string SessionNo;
  std::u16string SeatNo;
  std::u16string TestPart;
  std::u16string TotTime;
  std::u16string UseTime;
  double SubtractScore = 0;
  std::u16string LibPath;
  std::u16string ScrPath;
  std::u16string ClassName;
};

inline constexpr int kRunParamCount = 16;

// Splits the argument text at every ","; empty pieces count, nothing is trimmed, and the empty
// text has no pieces at all.
std::vector<std::u16string> SplitArguments(std::u16string_view argument_text);

// Builds the run parameters from exactly 16 pieces. Throws RunFailure when there are not 16 or
// field 12 is not a number.
RunParams MakeRunParams(const std::vector<std::u16string>& pieces);

}  // namespace keyin
