#include "startup/cmd_scr.h"

#include "records/storage.h"
#include "scoring/score_answer.h"

namespace keyin {

void Cmd_Scr(Run& run) {
  const ScoringOutcome outcome = ScoreAnswer(run);
  StoreResults(run, outcome);
}

}  // namespace keyin
