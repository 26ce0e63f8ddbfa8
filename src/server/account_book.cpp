#include "server/account_book.h"

#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/durable_file.h"
#include "platform/file_lock.h"
#include "server/actions.h"

namespace keyin::server {

std::vector<Account> ReadAccounts(const std::string& path) {
  const std::optional<std::string> file = ReadFileIfAny(path);
  if (!file) return {};
  try {
    return AccountsFromJson(*file);
  } catch (const std::runtime_error& failure) {
    throw std::runtime_error(path + ": " + failure.what());
  }
}

std::string ChangeAccounts(const std::string& path, const std::string& log_path,
                           const std::string& who, const std::string& act,
                           const std::function<std::string(std::vector<Account>&)>& change) {
  const std::optional<FileLock> lock = FileLock::Take(path + ".lock", std::chrono::seconds(5));
  if (!lock) throw std::runtime_error("the accounts are being changed elsewhere; try again");
  std::vector<Account> accounts = ReadAccounts(path);
  const std::string done = change(accounts);
  Action action{.who = CleanReason(who), .action = act, .reason = done};
  action.at = FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss");
  AppendFile log(log_path);
  log.Append(ActionToJson(action).dump());
  log.Sync();
  WriteFileDurably(path, AccountsToJson(accounts));
  return done;
}

}  // namespace keyin::server
