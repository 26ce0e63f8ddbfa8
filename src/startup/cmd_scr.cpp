#include "startup/cmd_scr.h"

#include "scoring/score_answer.h"

namespace keyin {

void Cmd_Scr(Run& run) { ScoreAnswer(run); }

}  // namespace keyin
