// A candidate's drill in the browser: after a practice, a single article practice of their own,
// made of lines holding the characters they miss most (keyin-tool drill reads their history),
// held in a room of their own ("drill-<UserID>") beside the practice, with a paper and an answer
// folder of its own, so that its result row, its report and a later re-scoring are its own.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "server/centre.h"
#include "server/sitting.h"

namespace keyin::server {

// "drill-<UserID>".
std::string DrillRoomOf(std::string_view user_id);

// "DRILL-<UserID>-yyMMddHHmmss": a paper of its own for every drill.
std::string DrillPaperName(std::string_view user_id, const DateTime& now);

// The drill's sitting: the practice's place, session, time allowed, proctors and paper folder;
// a single article practice of the drill's paper, its answers under the practice's ScrPath in
// drills/<paper>/, results shown, the candidate coming in with their access code. Pure.
Sitting DrillSitting(const Sitting& practice, std::string_view user_id, const std::string& paper);

// The drill's lines as lines of a test paper: a line longer than a paper's line (32 bytes of code
// page 950) is cut between characters, and a line code page 950 cannot hold is left out. Pure.
std::vector<std::u16string> PaperLinesOf(const std::vector<std::u16string>& lines);

// The drill of a candidate: what `keyin-tool drill --user ID --json` gives ({"characters",
// "lines"}, lines empty when nothing is left to drill). Runs the tool as a child, at most a
// minute. Throws RoomError 503 when it fails.
nlohmann::json DrillOfCandidate(const std::string& tool, const std::string& program_folder,
                                const std::string& user_id, std::string_view method = {});

// Starts the drill of the candidate at `seat` of the practice room, or finds the one they are
// still typing: the room it is held in. Ends their earlier drill once it is scored. 409 when the
// room holds no practice, when nothing is left to drill (code "no-drill") or the earlier drill
// is still being scored; 503 when the paper cannot be written.
ExamRoom& StartDrill(Centre& centre, ExamRoom& practice_room, const std::string& seat,
                     const std::string& tool);

}  // namespace keyin::server
