#include "records/storage.h"

#include <optional>
#include <string>

#include "platform/code_page.h"
#include "records/cscr_file.h"
#include "records/result_tables.h"
#include "run/run_end.h"
#include "run/run_kind.h"

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

void StoreResults(const RunParams& params, ResultStores& stores, const ScoringOutcome& outcome,
                  const RunContext& context, const std::optional<std::string>& cscr_folder,
                  StoreMode mode) {
  const TableInputs inputs = MakeTableInputs(params, outcome, context, mode);
  std::optional<ResultValues> second_part;
  switch (KindOfRun(params)) {
    case RunKind::kExam:
      StoreKeyinRow(stores.Answers(), inputs);
      return;
    case RunKind::kMockTest:
      second_part = StoreTestScoreStudentRow(stores.Keyin(), inputs);
      break;
    case RunKind::kOfflineExam:
      second_part = StoreOfflineScoreRow(stores.Keyin(), inputs);
      break;
    case RunKind::kOther:
      throw RunFailure("TestType \"" + Utf16ToUtf8(params.TestType) +
                       "\" is no kind of run (0 to 5 or 7): the reports are written, nothing "
                       "was stored");
    default:
      return;  // practices keep their record elsewhere; kinds 0 and 7 keep only their reports
  }
  if (!second_part || !cscr_folder) return;
  // The file is the candidate's proof of the review result: its loss must not pass as success.
  if (std::optional<std::string> failure =
          Put_Scr(*cscr_folder, params, *second_part, context.now)) {
    throw RunFailure(*failure);
  }
}

}  // namespace keyin
