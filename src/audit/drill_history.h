// A candidate's history for the drills (practice/drill.h): each scoring run of that UserID that
// stored its result, scored again from the run log and the archive, and what it shows of each
// reference character.
//
//   Drill drill = MakeDrill(HistoryOf(program_folder, "S123456789"));
#pragma once

#include <string>
#include <vector>

#include "audit/run_log.h"
#include "practice/drill.h"
#include "scoring/matching.h"

namespace keyin {

// The runs of the log to count for the candidate, oldest first: the scoring runs that exited 0
// having kept both inputs in the archive (as re-scoring selects them), whose UserID is exactly
// `user_id`. Pure.
std::vector<RunLogEntry> RunsOfUser(const std::vector<RunLogEntry>& log,
                                    const std::string& user_id);

// What a scored part shows of each character: the reference lines of the part, and for every
// reference line a typed line matched, its characters up to where the scoring charged them, each
// missed when marked missing or wrong, otherwise right. Pure.
RunCharacters CountRunCharacters(const RunLogEntry& run, const ReferenceLines& reference,
                                 const MatchResult& matched);

// The candidate's history, oldest first, for MakeDrill. Reads the run log of the program folder
// (RunLogPath) and the archive, and opens no database: each of the candidate's runs is scored
// again, its typed answer from the archive against its paper as it is now (the archived copy when
// that cannot be read). A run whose inputs cannot be read or scored is left out; no run log, or an
// unknown user, is an empty history. Throws FileError only when the run log exists but cannot be
// read.
std::vector<RunCharacters> HistoryOf(const std::string& program_folder, const std::string& user_id);

}  // namespace keyin
