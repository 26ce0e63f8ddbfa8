// The openers of the two databases. Each replaces the connection it fills; a missing file, or a
// server (KEYIN_DATABASE_URL) that cannot be reached or refuses the login, is reported with its
// message box and ends the run (RunEnd, exit status 3); a store that opens but fails otherwise
// throws DatabaseError.
#pragma once

#include <string>

#include "startup/run.h"

namespace keyin {

inline constexpr char kKeyinDatabaseName[] = "Vorkeyin.mdb";
inline constexpr char kKeyinDatabasePassword[] = "K4T7W2";
inline constexpr char16_t kAnswerDatabasePath[] = u"C:\\ANS.VOR\\ANS.mdb";
inline constexpr char kAnswerDatabasePassword[] = "5820";

std::string KeyinDatabasePath(const Run& run);
std::string AnswerDatabasePath(const Run& run);

// Opens KeyinConn on the keyin-statistics database (OpenKeyinDb behaves the same).
void opendb(Run& run);
inline void OpenKeyinDb(Run& run) { opendb(run); }
// Opens AnsConn on the answer database.
void OpenAnsDb(Run& run);

}  // namespace keyin
