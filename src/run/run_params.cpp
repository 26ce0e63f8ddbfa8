#include "run/run_params.h"

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
  return RunParams{
      .ExamPlaceNo = pieces[0],
      .ExamNo = pieces[1],
      .ExamPaperNo = pieces[2],
      .Field3 = pieces[3],
      .TestType = pieces[4],
      .UserID = pieces[5],
      .StuName = pieces[6],
      .SessionNo = pieces[7],
      .SeatNo = pieces[8],
      .TestPart = pieces[9],
      .TotTime = pieces[10],
      .UseTime = pieces[11],
      .SubtractScore = NumberOrThrow<RunFailure>(pieces[12], "the deduction standard (field 12)"),
      .LibPath = pieces[13],
      .ScrPath = pieces[14],
      .ClassName = pieces[15],
  };
}

}  // namespace keyin
