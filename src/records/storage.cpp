#include "records/storage.h"

#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "practice/practice_record.h"
#include "records/cscr_file.h"
#include "records/result_tables.h"
#include "startup/databases.h"

namespace keyin {
namespace {

TableInputs MakeTableInputs(const Run& run, const Scores& scores) {
  return TableInputs{
      .params = run.params,
      .CharsPerMinute = scores.CharsPerMinute,
      .ErrorRate = scores.ErrorRate,
      .ErrorWords1 = run.ErrorWords1,
      .ErrorWords2 = run.ErrorWords2,
      .ComputerName = Utf8ToUtf16(GetEnvironment("ComputerName").value_or("")),
      .now = LocalNow(),
  };
}

// The deduction standard decides which speed a practice run keeps: above 0.5 the adjusted
// speed, otherwise the plain one (0 stands for the default 0.5, and the adjusted speed means
// nothing below it).
std::optional<double> PracticeSpeed(const Scores& scores, double SubtractScore) {
  if (SubtractScore > 0.5) return scores.AdjustedCharsPerMinute;
  return scores.CharsPerMinute;
}

}  // namespace

void StoreResults(Run& run, const ScoringOutcome& outcome) {
  const RunParams& params = run.params;
  const Scores& scores = outcome.scores;
  const double test_type = TestTypeNumber(params);
  std::optional<std::string> cscr_failure;

  if (params.TestType == u"5") {
    OpenAnsDb(run);
    StoreKeyinRow(*run.AnsConn, MakeTableInputs(run, scores), run.results);
    run.AnsConn.reset();
  } else if (test_type == 3 || test_type == 4) {
    opendb(run);
    const TableInputs inputs = MakeTableInputs(run, scores);
    const StoredPart stored = test_type == 3
                                  ? StoreTestScoreStudentRow(*run.KeyinConn, inputs, run.results)
                                  : StoreOfflineScoreRow(*run.KeyinConn, inputs, run.results);
    if (stored == StoredPart::kSecond) cscr_failure = Put_Scr(run);
  }

  const bool practice = test_type == 1 || test_type == 2;
  if (practice && !(params.UserID.empty() && params.StuName.empty())) {
    SaveDataToDatabse(run, PracticeInputs{
                               .TotalChars = static_cast<double>(scores.TotalChars),
                               .ErrorCount = static_cast<double>(scores.ErrorCount),
                               .ErrorRate = scores.ErrorRate,
                               .Speed = PracticeSpeed(scores, params.SubtractScore),
                               .ErrorWords = outcome.ErrorWords,
                           });
  }

  // The file is the candidate's proof of the review result: its loss must not pass as success.
  if (cscr_failure) throw RunFailure(*cscr_failure);
}

}  // namespace keyin
