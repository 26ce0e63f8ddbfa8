#include "startup/databases.h"

#include "platform/store.h"

namespace keyin {

std::string KeyinDatabasePath(const Run& run) {
  return run.program_folder + "/" + kKeyinDatabaseName;
}

std::string AnswerDatabasePath(const Run& run) { return run.translate(kAnswerDatabasePath); }

namespace {

// Replaces `connection` by one opened on the database's store; a missing file, or a server that
// cannot be reached or refuses the login, shows the message and ends the run.
void OpenExisting(Run& run, std::unique_ptr<DbConnection>& connection, const std::string& path,
                  const char* password, std::u16string_view missing_message,
                  const std::string& what) {
  connection.reset();
  try {
    connection = OpenStore(path, password);
  } catch (const StoreUnavailable& unavailable) {
    run.messages.Show(missing_message, u"系統訊息");
    throw RunEnd(kExitDatabaseMissing, what + " unavailable: " + unavailable.what());
  }
}

}  // namespace

void opendb(Run& run) {
  OpenExisting(run, run.KeyinConn, KeyinDatabasePath(run), kKeyinDatabasePassword,
               u"Vorkeyin.mdb找不到或已損毀，請重新安裝系統", "keyin-statistics database");
}

void OpenAnsDb(Run& run) {
  OpenExisting(run, run.AnsConn, AnswerDatabasePath(run), kAnswerDatabasePassword,
               u"找不到ANS.mdb，請聯絡監考人員", "answer database");
}

}  // namespace keyin
