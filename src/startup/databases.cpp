#include "startup/databases.h"

#include "platform/file_system.h"

namespace keyin {

std::string KeyinDatabasePath(const Run& run) {
  return run.program_folder + "/" + kKeyinDatabaseName;
}

std::string AnswerDatabasePath(const Run& run) { return run.translate(kAnswerDatabasePath); }

void opendb(Run& run) {
  run.KeyinConn.reset();
  std::string path = KeyinDatabasePath(run);
  if (!IsNormalFile(path)) {
    run.messages.Show(u"Vorkeyin.mdb找不到或已損毀，請重新安裝系統", u"系統訊息");
    throw RunEnd(kExitDatabaseMissing, "keyin-statistics database missing: " + path);
  }
  run.KeyinConn = OpenDatabase(path, kKeyinDatabasePassword);
}

void OpenAnsDb(Run& run) {
  run.AnsConn.reset();
  std::string path = AnswerDatabasePath(run);
  if (!IsNormalFile(path)) {
    run.messages.Show(u"找不到ANS.mdb，請聯絡監考人員", u"系統訊息");
    throw RunEnd(kExitDatabaseMissing, "answer database missing: " + path);
  }
  run.AnsConn = OpenDatabase(path, kAnswerDatabasePassword);
}

}  // namespace keyin
