#include "records/databases.h"

#include "platform/store.h"
#include "run/run_end.h"

namespace keyin {
namespace {

std::unique_ptr<DbConnection> OpenExisting(const std::string& path, const char* password,
                                           MessageSink& messages,
                                           std::u16string_view missing_message,
                                           const std::string& what) {
  try {
    return OpenStore(path, password);
  } catch (const StoreUnavailable& unavailable) {
    messages.Show(missing_message, u"系統訊息");
    throw RunEnd(kExitDatabaseMissing, what + " unavailable: " + unavailable.what());
  }
}

}  // namespace

std::string KeyinDatabasePath(const PathTranslator& paths) {
  return paths.ProgramFolder() + "/" + kKeyinDatabaseName;
}

std::string AnswerDatabasePath(const PathTranslator& paths) { return paths(kAnswerDatabasePath); }

std::unique_ptr<DbConnection> opendb(const PathTranslator& paths, MessageSink& messages) {
  return OpenExisting(KeyinDatabasePath(paths), kKeyinDatabasePassword, messages,
                      u"Vorkeyin.mdb找不到或已損毀，請重新安裝系統", "keyin-statistics database");
}

std::unique_ptr<DbConnection> OpenAnsDb(const PathTranslator& paths, MessageSink& messages) {
  return OpenExisting(AnswerDatabasePath(paths), kAnswerDatabasePassword, messages,
                      u"找不到ANS.mdb，請聯絡監考人員", "answer database");
}

DbConnection& ResultStores::InGroup(std::unique_ptr<DbConnection>& connection,
                                    std::unique_ptr<DbTransaction>& group) {
  if (in_groups_ && !group) group = std::make_unique<DbTransaction>(*connection);
  return *connection;
}

DbConnection& ResultStores::Keyin() {
  if (!keyin_) keyin_ = opendb(paths_, messages_);
  return InGroup(keyin_, keyin_group_);
}

DbConnection& ResultStores::Answers() {
  // On a server both databases are one, and a group holds the writers' lock of the whole store:
  // a second connection's group would wait for the first's.
  if (in_groups_ && DatabaseServerUrl()) return Keyin();
  if (!answers_) answers_ = OpenAnsDb(paths_, messages_);
  return InGroup(answers_, answers_group_);
}

void ResultStores::CommitGroup() {
  // Both are let go whatever happens: the next group begins afresh.
  std::unique_ptr<DbTransaction> keyin = std::move(keyin_group_);
  std::unique_ptr<DbTransaction> answers = std::move(answers_group_);
  if (keyin) keyin->Commit();
  if (answers) answers->Commit();
}

}  // namespace keyin
