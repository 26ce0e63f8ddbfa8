// The storage phase of Cmd_Scr for the result tables: the table of the kind of run, then the CSCR
// score file after a second part. (The practice record is the phase's other half, practice/.)
#pragma once

#include "platform/database.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"
#include "scoring/score_answer.h"

namespace keyin {

// An exam stores its row in Keyin of the answer database, opened for the purpose and closed
// again; a mock test stores a TestScore_Student row and an offline exam an OfflineScore row
// through KeyinConn, each followed by the CSCR file when a second part was stored. The practices
// and kinds 0 and 7 store nothing here; a TestType of no listed kind fails the run (RunFailure),
// since nothing keeps its result. Every failure propagates and ends the run with a non-zero
// status; a CSCR file that cannot be written fails the run after the row is stored (RunFailure).
void StoreResults(const RunParams& params, const PathTranslator& paths, DbConnection& KeyinConn,
                  MessageSink& messages, const ScoringOutcome& outcome);

}  // namespace keyin
