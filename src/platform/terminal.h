// What the process's standard streams are connected to.
#pragma once

#include <optional>
#include <string>

namespace keyin {

// True when standard output is a terminal (not a pipe, a file or /dev/null).
bool StandardOutputIsTerminal();
// The same for standard error, where progress is shown.
bool StandardErrorIsTerminal();
// The same for standard input: a person who can be asked twice.
bool StandardInputIsTerminal();

// One line of standard input without its line end, for a password: at a terminal the prompt goes
// to standard error and what is typed is not shown. Nothing at the end of the input.
std::optional<std::string> ReadSecretLine(const std::string& prompt);

}  // namespace keyin
