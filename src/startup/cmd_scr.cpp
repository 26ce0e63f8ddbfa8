#include "startup/cmd_scr.h"

#include "practice/practice_record.h"
#include "records/schema.h"
#include "records/storage.h"
#include "scoring/score_answer.h"

namespace keyin {

void Cmd_Scr(const RunParams& params, const PathTranslator& paths,
             std::unique_ptr<DbConnection> KeyinConn, MessageSink& messages,
             std::u16string_view CustomText, RunRecorder& recorder) {
  const RunContext& context = recorder.Context();
  const ScoringOutcome outcome = ScoreAnswer(params, paths, CustomText, messages, context.now);
  recorder.BeforeStoring(outcome);
  ResultStores stores(paths, messages, std::move(KeyinConn));
  StoreResults(params, stores, outcome, context, paths(params.ScrPath));
  if (KeepsPracticeRecord(params)) {
    AddLookupIndexWhenMissing(stores.Keyin(), "TempScore");
    SaveDataToDatabse(stores.Keyin(), params, messages,
                      PracticeInputsOf(outcome, params.SubtractScore), context);
  }
}

}  // namespace keyin
