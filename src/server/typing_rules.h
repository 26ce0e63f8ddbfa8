// The rules of a typed part that do not depend on where it is stored: how characters are
// counted, when growth is too fast for a person, the seconds used and the argument string handed
// to the scorer. Pure.
#pragma once

#include <cstdint>
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

}  // namespace keyin::server
