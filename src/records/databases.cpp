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

DbConnection& ResultStores::Keyin() {
  if (!keyin_) keyin_ = opendb(paths_, messages_);
  return *keyin_;
}

DbConnection& ResultStores::Answers() {
  if (!answers_) answers_ = OpenAnsDb(paths_, messages_);
  return *answers_;
}

}  // namespace keyin
