#include "server/accounts.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace keyin::server {
namespace {

TEST(Accounts, TheFileReadsBackAsWrittenAndRefusesWhatItCannotTake) {
  const std::vector<Account> accounts = {{"ada", Role::kAdministrator, "$argon2id$a"},
                                         {"pat.lee", Role::kProctor, "$argon2id$b"},
                                         {"tea_1", Role::kTeacher, "$argon2id$c"}};
  EXPECT_EQ(AccountsFromJson(AccountsToJson(accounts)), accounts);
  EXPECT_TRUE(AccountsFromJson(R"({"accounts": []})").empty());
  for (const char* bad :
       {"", "[]", R"({"accounts": {}})",
        R"({"accounts": [{"name": "ada", "role": "janitor", "password_hash": "x"}]})",
        R"({"accounts": [{"name": "a/b", "role": "proctor", "password_hash": "x"}]})",
        R"({"accounts": [{"name": "ada", "role": "proctor"}]})"}) {
    EXPECT_THROW(AccountsFromJson(bad), std::runtime_error) << bad;
  }
}

TEST(Accounts, ATeacherOnlyReadsAndNamesAreShortAndPlain) {
  EXPECT_TRUE(RoleMay(Role::kAdministrator, Power::kRun));
  EXPECT_TRUE(RoleMay(Role::kProctor, Power::kRun));
  EXPECT_FALSE(RoleMay(Role::kTeacher, Power::kRun));
  for (Role role : {Role::kAdministrator, Role::kProctor, Role::kTeacher}) {
    EXPECT_TRUE(RoleMay(role, Power::kRead));
    EXPECT_EQ(RoleNamed(RoleName(role)), role);
  }
  EXPECT_TRUE(IsAccountName("ada.lee-2_b"));
  EXPECT_TRUE(IsAccountName(std::string(32, 'a')));
  for (const std::string& name :
       std::vector<std::string>{"", std::string(33, 'a'), "a b", "王", "a/b", "a\n"}) {
    EXPECT_FALSE(IsAccountName(name)) << name;
  }
}

}  // namespace
}  // namespace keyin::server
