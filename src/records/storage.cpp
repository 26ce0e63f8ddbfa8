#include "records/storage.h"

#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "records/cscr_file.h"
#include "records/databases.h"
#include "records/result_tables.h"
#include "run/run_end.h"
#include "run/run_kind.h"

namespace keyin {
namespace {

TableInputs MakeTableInputs(const RunParams& params, const ScoringOutcome& outcome) {
  return TableInputs{
      .params = params,
      .CharsPerMinute = outcome.scores.CharsPerMinute,
      .ErrorRate = outcome.scores.ErrorRate,
      .ErrorWords = outcome.ErrorWords,
      .ComputerName = Utf8ToUtf16(GetEnvironment("ComputerName").value_or("")),
      .now = LocalNow(),
  };
}

}  // namespace

void StoreResults(const RunParams& params, const PathTranslator& paths, DbConnection& KeyinConn,
                  MessageSink& messages, const ScoringOutcome& outcome) {
  std::optional<ResultValues> second_part;
  switch (KindOfRun(params)) {
    case RunKind::kExam: {
      const std::unique_ptr<DbConnection> AnsConn = OpenAnsDb(paths, messages);
      StoreKeyinRow(*AnsConn, MakeTableInputs(params, outcome));
      return;
    }
    case RunKind::kMockTest:
      second_part = StoreTestScoreStudentRow(KeyinConn, MakeTableInputs(params, outcome));
      break;
    case RunKind::kOfflineExam:
      second_part = StoreOfflineScoreRow(KeyinConn, MakeTableInputs(params, outcome));
      break;
    case RunKind::kOther:
      throw RunFailure("TestType \"" + Utf16ToUtf8(params.TestType) +
                       "\" is no kind of run (0 to 5 or 7): the reports are written, nothing "
                       "was stored");
    default:
      return;  // practices keep their record elsewhere; kinds 0 and 7 keep only their reports
  }
  if (!second_part) return;
  // The file is the candidate's proof of the review result: its loss must not pass as success.
  if (std::optional<std::string> failure = Put_Scr(params, paths, *second_part)) {
    throw RunFailure(*failure);
  }
}

}  // namespace keyin
