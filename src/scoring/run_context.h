// What a scoring run takes from its surroundings rather than from its argument string: the time
// and the two computer names that the stored rows keep.
#pragma once

#include <string>

#include "platform/clock.h"

namespace keyin {

struct RunContext {
  // The one time of the run: the reports, the stored rows and the CSCR file all show it, and a
  // mock test's second part finds its first part by it.
  DateTime now;
  std::u16string ComputerName;   // TestScore_Student.LocalHostName: the ComputerName variable
  std::u16string LocalHostName;  // TempScore.LocalHostName: the host's own name
};

// The context of a run that starts now on this machine.
RunContext CurrentRunContext();

}  // namespace keyin
