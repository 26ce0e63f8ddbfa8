#include "startup/run.h"

#include "support/number_text.h"
#include "support/text.h"

namespace keyin {

std::vector<std::u16string> SplitArguments(std::u16string_view argument_text) {
  if (argument_text.empty()) return {};
  return SplitText(argument_text, u",");
}

RunParams MakeRunParams(const std::vector<std::u16string>& pieces) {
  if (pieces.size() != kRunParamCount) throw RunFailure("the run needs 16 parameters");
  RunParams params;
  params.ExamPlaceNo = pieces[0];
  params.ExamNo = pieces[1];
  params.ExamPaperNo = pieces[2];
  params.Field3 = pieces[3];
  params.TestType = pieces[4];
  params.UserID = pieces[5];
  params.StuName = pieces[6];
  params.SessionNo = pieces[7];
  params.SeatNo = pieces[8];
  params.TestPart = pieces[9];
  params.TotTime = pieces[10];
  params.UseTime = pieces[11];
  params.SubtractScore = NumberOrThrow<RunFailure>(pieces[12], "the deduction standard (field 12)");
  params.LibPath = pieces[13];
  params.ScrPath = pieces[14];
  params.ClassName = pieces[15];
  return params;
}

std::optional<double> TestTypeNumberIfAny(const RunParams& params) {
  return ParseNumber(params.TestType);
}

double TestTypeNumber(const RunParams& params) {
  return NumberOrThrow<RunFailure>(params.TestType, "the kind of run (TestType)");
}

}  // namespace keyin
