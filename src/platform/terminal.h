// What the process's standard streams are connected to.
#pragma once

namespace keyin {

// True when standard output is a terminal (not a pipe, a file or /dev/null).
bool StandardOutputIsTerminal();
// The same for standard error, where progress is shown.
bool StandardErrorIsTerminal();

}  // namespace keyin
