// The one scoring routine.
#pragma once

#include <string_view>

#include "audit/run_recorder.h"
#include "platform/database.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"

namespace keyin {

// Scores the typed answer and writes the reports (scoring/), keeps the inputs in the archive
// (audit/), writes the visual report when asked (audit/visual_report.h), then stores the result in
// the table of the kind of run (records/) and, for a practice, the practice record (practice/),
// with the run's id among the finished runs, all in one transaction (audit/store_run.h).
// KeyinConn is the connection start-up opened; CustomText is empty unless the run is a
// custom-text practice. The recorder gives the run's id, time and names.
void Cmd_Scr(const RunParams& params, const PathTranslator& paths,
             std::unique_ptr<DbConnection> KeyinConn, MessageSink& messages,
             std::u16string_view CustomText, RunRecorder& recorder, bool visual_report);

}  // namespace keyin
