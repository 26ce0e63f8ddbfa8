// The run log: one JSON line per scoring run or replay, appended to <program folder>/log/runs.jsonl
// (or KEYIN_RUN_LOG). Formatting, reading and selecting lines are pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace keyin {

// A file a run scored from, by its path then and the SHA-256 of its bytes (its name in the
// archive).
struct LoggedFile {
  std::string path;
  std::string sha256;
  friend bool operator==(const LoggedFile&, const LoggedFile&) = default;
};

struct RunLogEntry {
  std::string id;         // unique: the start time and random digits
  std::string program;    // "keyin-scorer", or "keyin-tool rescore" for a replay
  DateTime time;          // the run's one time (a replay: the logged time it was scored with)
  double seconds = 0;     // how long the run took
  std::string arguments;  // the argument string, UTF-8
  int exit_status = 0;
  std::string failure;               // the reason of a non-zero exit status, when one was given
  std::optional<double> speed;       // characters per minute, once scored
  std::optional<double> error_rate;  // per cent, once scored
  std::optional<LoggedFile> paper;   // the paper or custom text, once read
  std::optional<LoggedFile> answer;  // the typed answer, once read
  std::vector<std::string> reports;  // the report files written
  std::string codes_method;          // the method whose codes the visual report gave; empty: none
  std::string computer_name;         // the ComputerName variable, stored with a mock test
  std::string host_name;             // the host's name, stored with a practice
  std::string replay_of;             // the id of the replayed run; empty for a scoring run
  friend bool operator==(const RunLogEntry&, const RunLogEntry&) = default;
};

inline constexpr char kScorerProgram[] = "keyin-scorer";
inline constexpr char kRescoreProgram[] = "keyin-tool rescore";

// The entry as one line of JSON, without the line end. Texts that are not UTF-8 are written with
// U+FFFD in place of their bad bytes.
std::string FormatLogLine(const RunLogEntry& entry);

// The entry of a line; nothing for a line that is not one (empty, torn, or written by hand).
std::optional<RunLogEntry> ParseLogLine(std::string_view line);

// The entries of a whole log, in the order written, leaving out the lines that are none.
std::vector<RunLogEntry> ParseLog(std::string_view text);

}  // namespace keyin
