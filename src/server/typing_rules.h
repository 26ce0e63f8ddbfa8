// The rules of a typed part that do not depend on where it is stored: how characters are
// counted, when growth is too fast for a person, the seconds used, the argument string handed
// to the scorer and the score read back from its summary. Pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/sitting.h"

namespace keyin::server {

// Characters of the answer (code points), line ends not counted.
std::int64_t CountTypedCharacters(std::string_view text);

// Lines of the answer box's text ("\n" or "\r\n" between lines). A final line end adds no empty
// line.
std::vector<std::string> AnswerLines(std::string_view text);

// Growth between two saves that no person types: more than 10 characters a second over the
// interval, and more than 50 characters (one input-method phrase commits several characters at
// once, so a short burst is not flagged).
bool GrowsTooFast(std::int64_t previous_chars, std::int64_t previous_ms, std::int64_t chars,
                  std::int64_t now_ms);

// Whole seconds used: from the start to the submission, never past the deadline; at least 1.
int UseTimeSeconds(std::int64_t started_ms, std::int64_t deadline_ms, std::int64_t submitted_ms);

// The seat's answer folder under ScrPath, named by the server: "<SessionNo>-<SeatNo>" followed
// by ScrPath's own separator. Both names are restricted on import, so the name is safe.
std::string SeatScrPath(const Sitting& sitting, const Candidate& candidate);

// The sixteen comma-separated run parameters of one finished part, as a desktop front end
// passes them: Field3 empty, TotTime the seconds allowed to this seat (added time included).
std::string ArgumentString(const Sitting& sitting, const Candidate& candidate, int part,
                           int allowed_seconds, int use_time, std::string_view seat_scr_path);

// The numbers of a part's score summary (.TOT), as texts exactly as the file gives them.
struct PartScore {
  std::string speed;       // characters per minute
  std::string error_rate;  // per cent
  std::string errors;
  std::string typed_chars;
  friend bool operator==(const PartScore&, const PartScore&) = default;
};

// From the three lines "CTEST-1 S=36 E=3/181=1%", "36", "1". Nothing when they do not read so.
std::optional<PartScore> ReadScoreSummary(const std::vector<std::string>& lines);

}  // namespace keyin::server
