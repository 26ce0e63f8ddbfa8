#pragma once

#include "startup/run.h"

namespace keyin {

// The one scoring routine: scores the typed answer, writes the reports, stores the result.
void Cmd_Scr(Run& run);

}  // namespace keyin
