// The id of a scoring run: the run log names the run by it, and the table of finished runs records
// it once the run's result is stored. A front end may give its own (KEYIN_RUN_ID), so that it can
// ask afterwards whether the run stored its result, and rerun a part under the same id without
// storing it twice.
#pragma once

#include <cstddef>
#include <string_view>

namespace keyin {

inline constexpr char kRunIdVariable[] = "KEYIN_RUN_ID";
inline constexpr std::size_t kMaxRunIdLength = 64;

// True for 1 to kMaxRunIdLength characters, each an ASCII letter or digit, "-", "_", "." or ":":
// a name that fits a file name, a URL and a log line as it stands. Pure.
bool IsRunId(std::string_view id);

}  // namespace keyin
