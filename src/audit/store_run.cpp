#include "audit/store_run.h"

#include "practice/practice_record.h"
#include "records/schema.h"
#include "records/storage.h"
#include "run/run_kind.h"

namespace keyin {

void StoreRun(const RunParams& params, ResultStores& stores, const ScoringOutcome& outcome,
              const RunContext& context, const FinishedRun& finished,
              const std::optional<std::string>& cscr_folder, MessageSink& messages,
              StoreMode mode) {
  DbConnection& db = DatabaseOfRun(stores, KindOfRun(params));
  AddFinishedRunsWhenMissing(db);
  std::optional<ResultValues> second_part;
  {
    DbTransaction transaction(db);
    second_part = StoreResultRow(params, stores, outcome, context, mode);
    if (KeepsPracticeRecord(params)) {
      AddLookupIndexWhenMissing(stores.Keyin(), "TempScore");
      SaveDataToDatabse(stores.Keyin(), params, messages,
                        PracticeInputsOf(outcome, params.SubtractScore), context);
    }
    RecordFinishedRun(db, finished);
    transaction.Commit();
  }
  if (second_part && cscr_folder) WriteCscrFile(*cscr_folder, params, *second_part, context);
}

}  // namespace keyin
