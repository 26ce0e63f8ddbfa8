// The one scoring routine.
#pragma once

#include <string_view>

#include "platform/database.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "run/run_params.h"

namespace keyin {

// Scores the typed answer and writes the reports (scoring/), stores the result in the table of
// the kind of run (records/) and, for a practice, the practice record (practice/). KeyinConn is
// the connection start-up opened; CustomText is empty unless the run is a custom-text practice.
void Cmd_Scr(const RunParams& params, const PathTranslator& paths, DbConnection& KeyinConn,
             MessageSink& messages, std::u16string_view CustomText);

}  // namespace keyin
