#pragma once

#include <optional>
#include <string>

namespace keyin {

// The host name from gethostname(), as the raw buffer the system filled (NUL-terminated when it
// fitted); nothing when the call failed.
std::optional<std::string> QueryHostName();

}  // namespace keyin
