// Accounts live where the rooms' state lives: on the database server when there is one, so that
// a keyin-server on another machine finds them (accounts.json is read there until the first
// change moves its accounts over), in accounts.json otherwise. Runs on both.
#include <gtest/gtest.h>

#include "harness.h"

namespace keyin::e2e {
namespace {

TEST(StaffAccounts, LiveWithTheRoomsAndConcurrentChangesLoseNothing) {
  ProgramFolder folder;
  const auto environment = folder.Environment();
  auto files_only = environment;
  files_only["KEYIN_DATABASE_URL"] = std::nullopt;
  const auto add = [](const std::string& name, const std::string& role) {
    return std::vector<std::string>{
        "-c",
        "echo password-" + name + " | " KEYIN_TOOL " accounts add " + name + " --role " + role};
  };
  ASSERT_EQ(RunProgram("/bin/sh", add("old", "proctor"), files_only).exit_status, 0);
  ASSERT_EQ(RunProgram("/bin/sh", add("new", "teacher"), environment).exit_status, 0);
  EXPECT_EQ(RunProgram(KEYIN_TOOL, {"accounts", "list"}, environment).out,
            "old\tproctor\nnew\tteacher\n");
  EXPECT_EQ(Contains(ReadBytes(folder.Root() / "accounts.json"), "\"new\""), !folder.OnServer())
      << "on a server the file stays as it was";

  // Eight changes at once (each hashing its password while the others run): none is lost.
  std::vector<pid_t> running;
  for (int i = 0; i < 8; ++i) {
    const std::string name = "p" + std::to_string(i);
    running.push_back(StartProgram("/bin/sh", add(name, "proctor"), environment,
                                   folder.Root() / (name + ".out"),
                                   folder.Root() / (name + ".err")));
  }
  for (pid_t pid : running) EXPECT_EQ(WaitForProgram(pid), 0);
  const std::string listed = RunProgram(KEYIN_TOOL, {"accounts", "list"}, environment).out;
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 10) << listed;
}

}  // namespace
}  // namespace keyin::e2e
