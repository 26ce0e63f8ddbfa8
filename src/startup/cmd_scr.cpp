#include "startup/cmd_scr.h"

#include "practice/practice_record.h"
#include "records/schema.h"
#include "records/storage.h"
#include "scoring/score_answer.h"

namespace keyin {

void Cmd_Scr(const RunParams& params, const PathTranslator& paths, DbConnection& KeyinConn,
             MessageSink& messages, std::u16string_view CustomText) {
  const ScoringOutcome outcome = ScoreAnswer(params, paths, CustomText, messages);
  StoreResults(params, paths, KeyinConn, messages, outcome);
  if (KeepsPracticeRecord(params)) {
    AddLookupIndexWhenMissing(KeyinConn, "TempScore");
    SaveDataToDatabse(KeyinConn, params, messages, PracticeInputsOf(outcome, params.SubtractScore));
  }
}

}  // namespace keyin
