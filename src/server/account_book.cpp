#include "server/account_book.h"

#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/durable_file.h"
#include "platform/file_lock.h"
#include "platform/store.h"
#include "server/actions.h"

namespace keyin::server {
namespace {

std::vector<Account> ReadAccountsFile(const std::string& path) {
  const std::optional<std::string> file = ReadFileIfAny(path);
  if (!file) return {};
  try {
    return AccountsFromJson(*file);
  } catch (const std::runtime_error& failure) {
    throw std::runtime_error(path + ": " + failure.what());
  }
}

Action ActOf(const std::string& who, const std::string& act, const std::string& done) {
  Action action{.who = CleanReason(who), .action = act, .reason = done};
  action.at = FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss");
  return action;
}

// The accounts on the database server: one row, the file's form, and a log of acts.
constexpr const char* kSchema[] = {
    "CREATE TABLE IF NOT EXISTS StaffAccounts (Id INTEGER PRIMARY KEY, Body TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS StaffAccountActions (Line BIGSERIAL PRIMARY KEY, "
    "Body TEXT NOT NULL)",
};

std::unique_ptr<DbConnection> AccountsDatabase() {
  std::unique_ptr<DbConnection> db = OpenDatabaseServer();
  // Two servers making the tables at once: the second finds them made.
  for (int attempt = 0;; ++attempt) {
    try {
      for (const char* statement : kSchema) db->Execute(statement);
      return db;
    } catch (const DatabaseError&) {
      if (attempt > 0) throw;
    }
  }
}

// The row's accounts, or nothing when no change has been made on the server yet.
std::optional<std::vector<Account>> StoredAccounts(DbConnection& db) {
  const DbRows rows = db.Query("SELECT Body FROM StaffAccounts WHERE Id = 1");
  if (rows.AtEnd()) return std::nullopt;
  const auto* body = std::get_if<std::u16string>(&rows.First()["Body"]);
  if (body == nullptr) throw std::runtime_error("the accounts on the database server are empty");
  return AccountsFromJson(Utf16ToUtf8(*body));
}

std::string ChangeOnServer(const std::string& program_folder, const std::string& who,
                           const std::string& act,
                           const std::function<std::string(std::vector<Account>&)>& change) {
  std::unique_ptr<DbConnection> db = AccountsDatabase();
  DbTransaction transaction(*db);
  // Readers go on; a second change waits for this one's commit.
  db->Execute("LOCK TABLE StaffAccounts IN EXCLUSIVE MODE");
  std::vector<Account> accounts =
      StoredAccounts(*db).value_or(ReadAccountsFile(AccountsPath(program_folder)));
  const std::string done = change(accounts);
  db->Execute("INSERT INTO StaffAccountActions (Body) VALUES (?)",
              {Utf8ToUtf16(ActionToJson(ActOf(who, act, done)).dump())});
  db->Execute(
      "INSERT INTO StaffAccounts (Id, Body) VALUES (1, ?) "
      "ON CONFLICT (Id) DO UPDATE SET Body = EXCLUDED.Body",
      {Utf8ToUtf16(AccountsToJson(accounts))});
  transaction.Commit();
  return done;
}

}  // namespace

std::vector<Account> ReadAccounts(const std::string& program_folder) {
  if (DatabaseServerUrl()) {
    try {
      std::unique_ptr<DbConnection> db = AccountsDatabase();
      if (std::optional<std::vector<Account>> stored = StoredAccounts(*db)) return *stored;
    } catch (const DatabaseError& failure) {
      throw std::runtime_error(std::string("the accounts on the database server: ") +
                               failure.what());
    }
  }
  return ReadAccountsFile(AccountsPath(program_folder));
}

std::string ChangeAccounts(const std::string& program_folder, const std::string& who,
                           const std::string& act,
                           const std::function<std::string(std::vector<Account>&)>& change) {
  if (DatabaseServerUrl()) {
    try {
      return ChangeOnServer(program_folder, who, act, change);
    } catch (const DatabaseError& failure) {
      throw std::runtime_error(std::string("the accounts on the database server: ") +
                               failure.what());
    }
  }
  const std::string path = AccountsPath(program_folder);
  const std::optional<FileLock> lock = FileLock::Take(path + ".lock", std::chrono::seconds(15));
  if (!lock) throw std::runtime_error("the accounts are being changed elsewhere; try again");
  std::vector<Account> accounts = ReadAccountsFile(path);
  const std::string done = change(accounts);
  AppendFile log(AccountActionsPath(program_folder));
  log.Append(ActionToJson(ActOf(who, act, done)).dump());
  log.Sync();
  WriteFileDurably(path, AccountsToJson(accounts));
  return done;
}

}  // namespace keyin::server
