#include "run/run_params.h"

#include <array>

#include "run/run_end.h"
#include "support/number_text.h"
#include "support/text.h"

namespace keyin {

std::vector<std::u16string> SplitArguments(std::u16string_view argument_text) {
  if (argument_text.empty()) return {};
  return SplitText(argument_text, u",");
}

RunParams MakeRunParams(const std::vector<std::u16string>& pieces) {
  if (pieces.size() != kRunParamCount) throw RunFailure("the run needs 16 parameters");
  // The text fields in the order of the argument string; field 12 is the number.
  static constexpr std::array<std::u16string RunParams::*, kRunParamCount> kTextFields = {
      &RunParams::ExamPlaceNo,
      &RunParams::ExamNo,
      &RunParams::ExamPaperNo,
      &RunParams::Field3,
      &RunParams::TestType,
      &RunParams::UserID,
      &RunParams::StuName,
      &RunParams::SessionNo,
      &RunParams::SeatNo,
      &RunParams::TestPart,
      &RunParams::TotTime,
      &RunParams::UseTime,
      nullptr,
      &RunParams::LibPath,
      &RunParams::ScrPath,
      &RunParams::ClassName};
  RunParams params;
  for (std::size_t field = 0; field < kTextFields.size(); ++field) {
    if (kTextFields[field] != nullptr) params.*kTextFields[field] = pieces[field];
  }
  params.SubtractScore = NumberOrThrow<RunFailure>(pieces[12], "the deduction standard (field 12)");
  return params;
}

}  // namespace keyin
