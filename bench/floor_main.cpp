// The floor a scoring run is measured against: a process that starts, opens the databases a run
// opens (with their passwords) and commits one row. Usage: keyin-floor [--answers]
#include <cstring>
#include <exception>
#include <iostream>

#include "platform/database.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
  try {
    const std::string home = keyin::ProgramFolder();
    auto keyin = keyin::OpenDatabase(home + "/Vorkeyin.mdb", "K4T7W2");
    if (argc > 1 && std::strcmp(argv[1], "--answers") == 0) {
      auto answers = keyin::OpenDatabase(
          keyin::TranslatePath("C:\\ANS.VOR\\ANS.mdb", home, keyin::GetEnvironment), "5820");
    }
    keyin::DbTransaction transaction(*keyin);
    keyin->Execute("INSERT INTO OfflineScore(SessionSeatNo, Tno, Score1, Err1) VALUES (?, ?, ?, ?)",
                   {std::u16string(u"0000"), std::u16string(u"FLOOR"), 1.0, 1.0});
    transaction.Commit();
    return 0;
  } catch (const std::exception& failure) {
    std::cerr << "keyin-floor: " << failure.what() << "\n";
    return 1;
  }
}
