// The two databases of the system and their openers: Vorkeyin.mdb in the program folder and the
// answer database C:\ANS.VOR\ANS.mdb. Every opener reaches the store through OpenStore here: the
// files, or the PostgreSQL server that KEYIN_DATABASE_URL names.
//
// A missing file, or a server that cannot be reached or refuses the login, shows its message box
// and ends the run (RunEnd, exit status 3); a store that opens but fails otherwise throws
// DatabaseError.
#pragma once

#include <memory>
#include <string>

#include "platform/database.h"
#include "platform/message_box.h"
#include "platform/paths.h"

namespace keyin {

inline constexpr char kKeyinDatabaseName[] = "Vorkeyin.mdb";
inline constexpr char kKeyinDatabasePassword[] = "K4T7W2";
inline constexpr char16_t kAnswerDatabasePath[] = u"C:\\ANS.VOR\\ANS.mdb";
inline constexpr char kAnswerDatabasePassword[] = "5820";

std::string KeyinDatabasePath(const PathTranslator& paths);
std::string AnswerDatabasePath(const PathTranslator& paths);

// KeyinConn: the keyin-statistics database.
std::unique_ptr<DbConnection> opendb(const PathTranslator& paths, MessageSink& messages);
// AnsConn: the answer database.
std::unique_ptr<DbConnection> OpenAnsDb(const PathTranslator& paths, MessageSink& messages);

// The two databases of a run or of a batch of replayed runs, each opened once, on first use, and
// kept open.
//
// A batch may store in groups: each database, when first used in a group, begins a transaction
// that CommitGroup commits, so that a group of results waits for the disk once instead of once
// per result; each result's own transaction is a savepoint within it, whole or not at all.
// A group not committed is rolled back.
class ResultStores {
 public:
  ResultStores(const PathTranslator& paths, MessageSink& messages,
               std::unique_ptr<DbConnection> KeyinConn = nullptr, bool in_groups = false)
      : paths_(paths), messages_(messages), in_groups_(in_groups), keyin_(std::move(KeyinConn)) {}

  DbConnection& Keyin();
  DbConnection& Answers();

  // Commits the group's transactions. Throws DatabaseError; the group is then rolled back.
  void CommitGroup();

 private:
  DbConnection& InGroup(std::unique_ptr<DbConnection>& connection,
                        std::unique_ptr<DbTransaction>& group);

  const PathTranslator& paths_;
  MessageSink& messages_;
  bool in_groups_;
  std::unique_ptr<DbConnection> keyin_;
  std::unique_ptr<DbConnection> answers_;
  // After the connections: a group ends before its connection closes.
  std::unique_ptr<DbTransaction> keyin_group_;
  std::unique_ptr<DbTransaction> answers_group_;
};

}  // namespace keyin
