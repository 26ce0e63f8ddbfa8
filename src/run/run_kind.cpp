#include "run/run_kind.h"

#include <iterator>

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

// In the order of RunKind.
constexpr std::u16string_view kKindLabels[] = {
    u"自建題庫練習", u"文章練習（單）", u"文章練習（雙）", u"模擬測驗",
    u"離線考試",     u"考試",           u"測驗",           u"其他",
};
static_assert(std::size(kKindLabels) == static_cast<std::size_t>(RunKind::kOther) + 1);

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

bool ScoresCustomText(RunKind kind) { return kind == RunKind::kCustomTextPractice; }

bool ScoresCustomText(const RunParams& params) { return ScoresCustomText(KindOfRun(params)); }

bool ScoresCustomTextIfNumber(const RunParams& params) {
  const std::optional<RunKind> kind = KindOfRunIfNumber(params);
  return kind && ScoresCustomText(*kind);
}

std::u16string_view KindLabel(RunKind kind) { return kKindLabels[static_cast<std::size_t>(kind)]; }

std::u16string_view KindLabelOf(const RunParams& params) {
  return KindLabel(KindOfRunIfNumber(params).value_or(RunKind::kOther));
}

}  // namespace keyin
