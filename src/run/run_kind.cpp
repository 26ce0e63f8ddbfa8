#include "run/run_kind.h"

#include "run/run_end.h"
#include "support/number_text.h"

namespace keyin {
namespace {

RunKind KindOfNumber(double number) {
  if (number == 0) return RunKind::kCustomTextPractice;
  if (number == 1) return RunKind::kSingleArticlePractice;
  if (number == 2) return RunKind::kDoubleArticlePractice;
  if (number == 3) return RunKind::kMockTest;
  if (number == 4) return RunKind::kOfflineExam;
  if (number == 5) return RunKind::kExam;
  if (number == 7) return RunKind::kKeyinRecordTest;
  return RunKind::kOther;
}

}  // namespace

RunKind KindOfRun(const RunParams& params) {
  return KindOfNumber(NumberOrThrow<RunFailure>(params.TestType, "the kind of run (TestType)"));
}

std::optional<RunKind> KindOfRunIfNumber(const RunParams& params) {
  const std::optional<double> number = ParseNumber(params.TestType);
  if (!number) return std::nullopt;
  return KindOfNumber(*number);
}

bool IsArticlePractice(RunKind kind) {
  return kind == RunKind::kSingleArticlePractice || kind == RunKind::kDoubleArticlePractice;
}

}  // namespace keyin
