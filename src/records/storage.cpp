#include "records/storage.h"

#include <optional>
#include <string>

#include "platform/code_page.h"
#include "records/cscr_file.h"
#include "records/result_tables.h"
#include "run/run_end.h"

namespace keyin {
namespace {

TableInputs MakeTableInputs(const RunParams& params, const ScoringOutcome& outcome,
                            const RunContext& context, StoreMode mode) {
  return TableInputs{
      .params = params,
      .CharsPerMinute = outcome.scores.CharsPerMinute,
      .ErrorRate = outcome.scores.ErrorRate,
      .ErrorWords = outcome.ErrorWords,
      .ComputerName = context.ComputerName,
      .now = context.now,
      .mode = mode,
  };
}

}  // namespace

DbConnection& DatabaseOfRun(ResultStores& stores, RunKind kind) {
  return kind == RunKind::kExam ? stores.Answers() : stores.Keyin();
}

std::optional<ResultValues> StoreResultRow(const RunParams& params, ResultStores& stores,
                                           const ScoringOutcome& outcome, const RunContext& context,
                                           StoreMode mode) {
  const TableInputs inputs = MakeTableInputs(params, outcome, context, mode);
  switch (KindOfRun(params)) {
    case RunKind::kExam:
      StoreKeyinRow(stores.Answers(), inputs);
      return std::nullopt;
    case RunKind::kMockTest:
      return StoreTestScoreStudentRow(stores.Keyin(), inputs);
    case RunKind::kOfflineExam:
      return StoreOfflineScoreRow(stores.Keyin(), inputs);
    case RunKind::kOther:
      throw RunFailure("TestType \"" + Utf16ToUtf8(params.TestType) +
                       "\" is no kind of run (0 to 5 or 7): the reports are written, nothing "
                       "was stored");
    default:
      return std::nullopt;  // practices keep their record elsewhere; kinds 0 and 7 only reports
  }
}

void WriteCscrFile(const std::string& folder, const RunParams& params, const ResultValues& results,
                   const RunContext& context) {
  if (std::optional<std::string> failure = Put_Scr(folder, params, results, context.now)) {
    throw RunFailure(*failure);
  }
}

}  // namespace keyin
