// keyin-tool as an administrator and a teacher use it.
#include <gtest/gtest.h>

#include "db_helpers.h"
#include "harness.h"
#include "platform/ansi_file.h"
#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/message_box.h"
#include "support/decoding.h"

namespace keyin::e2e {
namespace {

// On the files, each opens with its own password only; on a server the tables are created there.
TEST(InitDb, CreatesTheDatabasesAndKeepsThem) {
  ProgramFolder folder;
  for (const char* sub : {"lib", "ExamScr", "CAIScr"}) {
    EXPECT_TRUE(std::filesystem::is_directory(folder.Root() / sub)) << sub;
  }
  EXPECT_EQ(OpenAnswers(folder)->Query("SELECT * FROM Keyin").Count(), 0u);
  if (!folder.OnServer()) {
    const std::string keyin_path = folder.KeyinDatabase().string();
    EXPECT_THROW(OpenDatabase(keyin_path, ""), DatabaseError);
    EXPECT_THROW(OpenDatabase(keyin_path, "5820"), DatabaseError);
    EXPECT_THROW(OpenDatabase(folder.AnswerDatabase().string(), "K4T7W2"), DatabaseError);
  }
  EXPECT_EQ(folder.OnServer(), !std::filesystem::exists(folder.KeyinDatabase()));

  auto rows = [&] { return OpenKeyin(folder)->Query("SELECT * FROM OfflineScore").Count(); };
  OpenKeyin(folder)->Execute("INSERT INTO OfflineScore(SessionSeatNo, Tno) VALUES (?, ?)",
                             {std::u16string(u"0315"), std::u16string(u"P001")});
  ProcessResult again = folder.Tool({"init-db"});
  EXPECT_EQ(again.exit_status, 1);
  EXPECT_NE(again.err.find("already exist"), std::string::npos) << again.err;
  EXPECT_EQ(rows(), 1u);
  ProcessResult forced = folder.Tool({"init-db", "--force"});
  EXPECT_EQ(forced.exit_status, 0) << forced.err;
  EXPECT_EQ(rows(), 0u);
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(Papers, MakeLibThenLibReadGivesBackTheLines) {
  ProgramFolder folder(false);
  folder.InstallSamplePaper();
  std::string paper = (folder.Lib() / "P001.LIB").string();
  std::vector<std::string> part1 = ReadUtf8Lines(std::string(KEYIN_SAMPLES) + "/paper-test1.txt");
  std::vector<std::string> part2 = ReadUtf8Lines(std::string(KEYIN_SAMPLES) + "/paper-test2.txt");
  std::vector<std::string> both = part1;
  both.insert(both.end(), part2.begin(), part2.end());

  struct Case {
    const char* part;
    const std::vector<std::string>& lines;
  };
  for (const Case& c : {Case{"1", part1}, Case{"2", part2}, Case{"0", both}}) {
    ProcessResult read = folder.Tool({"lib-read", paper, c.part});
    EXPECT_EQ(read.exit_status, 0) << read.err;
    EXPECT_EQ(read.out, Lines(c.lines)) << "part " << c.part;
  }
}

TEST(Papers, LibReadOfAMissingFileShowsTheMessage) {
  ProgramFolder folder(false);
  std::string missing = (folder.Lib() / "NONE.LIB").string();
  ProcessResult read = folder.Tool({"lib-read", missing, "1"});
  EXPECT_EQ(read.exit_status, 1);
  EXPECT_EQ(read.out, "");
  EXPECT_NE(read.err.find(missing + " 試卷檔不存在"), std::string::npos) << read.err;
}

TEST(Papers, MakeLibRefusesWhatARecordCannotHoldAndWritesNothing) {
  ProgramFolder folder(false);
  struct Case {
    const char* name;
    std::string line;
    const char* complaint;
  };
  const Case cases[] = {
      {"17 double-byte characters", "一二三四五六七八九十一二三四五六七", "line 2"},
      {"a character outside code page 950", "表情😀", "line 2"},
  };
  for (const Case& c : cases) {
    std::filesystem::path out = folder.Lib() / "BAD.LIB";
    EXPECT_THROW(folder.InstallPaper("BAD", {"甲乙", c.line}, {"丙"}), std::runtime_error)
        << c.name;
    ProcessResult result =
        folder.Tool({"make-lib", "--part1", (folder.Root() / "part1.txt").string(), "--part2",
                     (folder.Root() / "part2.txt").string(), out.string()});
    EXPECT_EQ(result.exit_status, 1) << c.name;
    EXPECT_NE(result.err.find(c.complaint), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.name;
  }
}

TEST(Papers, MakeCusRoundTripsEverySampleLine) {
  ProgramFolder folder(false);
  std::filesystem::path out = folder.Lib() / "P001.cus";
  for (const char* sample : {"paper-test1.txt", "paper-test2.txt"}) {
    std::string text = std::string(KEYIN_SAMPLES) + "/" + sample;
    ProcessResult result = folder.Tool({"make-cus", text, out.string()});
    ASSERT_EQ(result.exit_status, 0) << result.err;
    std::vector<std::string> expected = ReadUtf8Lines(text);
    std::vector<std::u16string> encoded = ReadAnsiLines(out.string());
    ASSERT_EQ(encoded.size(), expected.size());
    RecordingMessageSink messages;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
      EXPECT_EQ(Utf16ToUtf8(Decrypt(encoded[i], messages)), expected[i]);
    }
    EXPECT_TRUE(messages.shown.empty());
  }
}

// Every subcommand of the contract is listed and explains itself; asking for help runs nothing
// (init-db --help installs no database).
TEST(Tool, EverySubcommandExplainsItselfAndHelpRunsNothing) {
  ProgramFolder folder(false);
  const ProcessResult listing = folder.Tool({"--help"});
  EXPECT_EQ(listing.exit_status, 0);
  for (const std::string command :
       {"init-db", "lib-read", "make-lib", "make-cus", "top-method", "usage-report", "maintenance",
        "copy-results", "results", "report", "drill"}) {
    EXPECT_TRUE(Contains(listing.out, "\n  " + command + " ")) << command << " is not listed";
    const ProcessResult help = folder.Tool({command, "--help"});
    EXPECT_EQ(help.exit_status, 0) << command;
    EXPECT_TRUE(Contains(help.out, "keyin-tool " + command)) << help.out;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.KeyinDatabase()));
}

}  // namespace
}  // namespace keyin::e2e
