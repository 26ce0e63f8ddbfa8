#include "startup/cmd_scr.h"

#include "audit/store_run.h"
#include "audit/visual_report.h"
#include "platform/clock.h"
#include "scoring/inputs.h"
#include "scoring/score_answer.h"

namespace keyin {

void Cmd_Scr(const RunParams& params, const PathTranslator& paths,
             std::unique_ptr<DbConnection> KeyinConn, MessageSink& messages,
             std::u16string_view CustomText, RunRecorder& recorder, bool visual_report) {
  const RunContext& context = recorder.Context();
  const ScoringOutcome outcome = ScoreAnswer(params, paths, CustomText, messages, context.now);
  recorder.BeforeStoring(outcome);
  if (visual_report) {
    const std::string method = VisualReportMethod();
    const std::array<std::string, 2> written = WriteVisualReport(
        params, outcome, paths(params.ScrPath + TestFileNameOf(params.TestPart)), method);
    recorder.NoteReports({written.begin(), written.end()});
    recorder.NoteCodesMethod(method);
  }
  ResultStores stores(paths, messages, std::move(KeyinConn));
  const FinishedRun finished = {.id = recorder.Id(),
                                .program = kScorerProgram,
                                .time = context.now,
                                .finished_at = LocalNow()};
  StoreRun(params, stores, outcome, context, finished, paths(params.ScrPath), messages);
}

}  // namespace keyin
