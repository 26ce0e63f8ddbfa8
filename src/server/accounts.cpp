#include "server/accounts.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace keyin::server {

using nlohmann::json;

std::string_view RoleName(Role role) {
  switch (role) {
    case Role::kAdministrator:
      return "administrator";
    case Role::kProctor:
      return "proctor";
    case Role::kTeacher:
      return "teacher";
  }
  return "";
}

std::optional<Role> RoleNamed(std::string_view name) {
  for (Role role : {Role::kAdministrator, Role::kProctor, Role::kTeacher}) {
    if (RoleName(role) == name) return role;
  }
  return std::nullopt;
}

bool RoleMay(Role role, Power power) { return role != Role::kTeacher || power == Power::kRead; }

bool IsAccountName(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  for (char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!allowed) return false;
  }
  return true;
}

std::string AccountsToJson(const std::vector<Account>& accounts) {
  json list = json::array();
  for (const Account& account : accounts) {
    list.push_back({{"name", account.name},
                    {"role", RoleName(account.role)},
                    {"password_hash", account.password_hash}});
  }
  return json{{"accounts", list}}.dump(2) + "\n";
}

std::vector<Account> AccountsFromJson(std::string_view text) {
  const json file = json::parse(text, nullptr, false);
  if (!file.is_object() || !file.contains("accounts") || !file["accounts"].is_array()) {
    throw std::runtime_error("not an accounts file");
  }
  std::vector<Account> accounts;
  for (const json& entry : file["accounts"]) {
    try {
      Account account;
      account.name = entry.at("name").get<std::string>();
      const std::optional<Role> role = RoleNamed(entry.at("role").get<std::string>());
      account.password_hash = entry.at("password_hash").get<std::string>();
      if (!IsAccountName(account.name)) throw std::runtime_error("a name it cannot take");
      if (!role) throw std::runtime_error("an unknown role");
      account.role = *role;
      accounts.push_back(std::move(account));
    } catch (const std::exception& failure) {
      throw std::runtime_error("account " + std::to_string(accounts.size() + 1) + ": " +
                               failure.what());
    }
  }
  return accounts;
}

std::string AccountsPath(const std::string& program_folder) {
  return program_folder + "/accounts.json";
}

std::string AccountActionsPath(const std::string& program_folder) {
  return program_folder + "/account-actions.jsonl";
}

}  // namespace keyin::server
