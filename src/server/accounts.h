// Named accounts of the exam room, each with a role, instead of one shared password:
//   administrator  every sitting and every act; accounts are changed with keyin-tool accounts or
//                  in the console (account_book.h)
//   proctor        runs the sitting: opens and ends it, watches the board, adds time
//   teacher        reads: the results, the reports, the action log
// Passwords are kept only as Argon2id hashes (platform/password_hash.h). The accounts live in
// <program folder>/accounts.json, readable by its owner only. Pure: the forms and the rules.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keyin::server {

enum class Role { kAdministrator, kProctor, kTeacher };

// What a call needs.
enum class Power {
  kRun,   // open or end a sitting, the board, a seat, adding time
  kRead,  // the sitting's description, results, reports, the action log
};

struct Account {
  std::string name;
  Role role = Role::kProctor;
  std::string password_hash;

  friend bool operator==(const Account&, const Account&) = default;
};

std::string_view RoleName(Role role);  // "administrator", "proctor", "teacher"
std::optional<Role> RoleNamed(std::string_view name);
bool RoleMay(Role role, Power power);

// 1 to 32 letters, digits, '.', '-' or '_'.
bool IsAccountName(std::string_view name);

// The file's forms. AccountsFromJson throws std::runtime_error for a file it cannot read.
std::string AccountsToJson(const std::vector<Account>& accounts);
std::vector<Account> AccountsFromJson(std::string_view text);

std::string AccountsPath(const std::string& program_folder);
// The log of account changes (one JSON line per act, as a sitting's action log has them).
std::string AccountActionsPath(const std::string& program_folder);

}  // namespace keyin::server
