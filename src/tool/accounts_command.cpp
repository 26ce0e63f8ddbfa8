// accounts: the named accounts of keyin-server (administrator, proctor, teacher). Passwords are
// read from standard input (at a terminal without being shown) and kept only as Argon2id hashes.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iostream>

#include "platform/password_hash.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "run/run_end.h"
#include "server/account_book.h"
#include "tool/command_support.h"
#include "tool/commands.h"

namespace keyin::tool {
namespace {

using server::Account;

// A new password, twice at a terminal; 8 characters at least.
std::string NewPassword() {
  const std::optional<std::string> password = ReadSecretLine("new password: ");
  if (!password) throw std::runtime_error("no password given on standard input");
  if (password->size() < 8) throw std::runtime_error("a password has 8 characters at least");
  if (StandardInputIsTerminal()) {
    if (ReadSecretLine("the same again: ") != password) {
      throw std::runtime_error("the two passwords differ; nothing was changed");
    }
  }
  return *password;
}

auto Find(std::vector<Account>& accounts, const std::string& name) {
  return std::find_if(accounts.begin(), accounts.end(),
                      [&](const Account& account) { return account.name == name; });
}

auto Existing(std::vector<Account>& accounts, const std::string& name) {
  auto found = Find(accounts, name);
  if (found == accounts.end()) throw std::runtime_error("no account " + name);
  return found;
}

// Who changed an account: the person at the terminal, as the system knows them.
std::string Operator() {
  for (const char* name : {"SUDO_USER", "USER", "LOGNAME"}) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  }
  return "command line";
}

// Changes the accounts as the console does (server/account_book.h) and says what was done. The
// change names the act ("account-add" ...) and fills in whom it concerned.
int ChangeAccounts(const std::string& act,
                   const std::function<std::string(std::vector<Account>&)>& change) {
  std::cout << server::ChangeAccounts(ProgramFolder(), Operator(), act, change) << "\n";
  return kExitDone;
}

}  // namespace

void AddAccountsCommand(CLI::App& app) {
  CLI::App* accounts =
      app.add_subcommand("accounts",
                         "The accounts of keyin-server's proctor pages (accounts.json in the "
                         "program folder, or on the database server of KEYIN_DATABASE_URL): "
                         "administrator, proctor or teacher");
  accounts->require_subcommand(1);
  static std::string name, role = "proctor";

  CLI::App* add =
      accounts->add_subcommand("add", "Add an account; its password is read from standard input");
  add->add_option("NAME", name, "1 to 32 letters, digits, '.', '-' or '_'")->required();
  add->add_option("--role", role, "administrator, proctor or teacher")->capture_default_str();
  OnRun(add, [] {
    // Hashed before the accounts are locked: a hash takes long, the change a moment.
    const std::string hash = HashPassword(NewPassword());
    return ChangeAccounts("account-add", [&](std::vector<Account>& accounts) {
      const std::optional<server::Role> parsed = server::RoleNamed(role);
      if (!server::IsAccountName(name)) {
        throw std::runtime_error("an account name has 1 to 32 letters, digits, '.', '-' or '_'");
      }
      if (!parsed) throw std::runtime_error("the role is administrator, proctor or teacher");
      if (Find(accounts, name) != accounts.end()) {
        throw std::runtime_error("account " + name + " exists");
      }
      accounts.push_back({name, *parsed, hash});
      return "added " + name + " (" + role + ")";
    });
  });

  CLI::App* passwd = accounts->add_subcommand(
      "passwd", "Give an account a new password, read from standard input");
  passwd->add_option("NAME", name, "The account")->required();
  OnRun(passwd, [] {
    const std::string hash = HashPassword(NewPassword());
    return ChangeAccounts("account-passwd", [&](std::vector<Account>& accounts) {
      Existing(accounts, name)->password_hash = hash;
      return "new password for " + name;
    });
  });

  CLI::App* remove = accounts->add_subcommand("remove", "Remove an account");
  remove->add_option("NAME", name, "The account")->required();
  OnRun(remove, [] {
    return ChangeAccounts("account-remove", [](std::vector<Account>& accounts) {
      accounts.erase(Existing(accounts, name));
      return "removed " + name;
    });
  });

  CLI::App* list = accounts->add_subcommand("list", "List the accounts and their roles");
  OnRun(list, [] {
    for (const Account& account : server::ReadAccounts(ProgramFolder())) {
      std::cout << account.name << "\t" << server::RoleName(account.role) << "\n";
    }
    return kExitDone;
  });
}

}  // namespace keyin::tool
