// keyin-tool drill over real scoring runs: the drill of a candidate's mistakes, practised until a
// character leaves it.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/ansi_file.h"
#include "platform/code_page.h"
#include "platform/message_box.h"
#include "support/decoding.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

// The lines of a custom text, decoded.
std::vector<std::string> DecodedLines(const fs::path& path) {
  std::vector<std::string> lines;
  RecordingMessageSink messages;
  for (const std::u16string& line : ReadAnsiLines(path.string())) {
    lines.push_back(Utf16ToUtf8(Decrypt(line, messages)));
  }
  EXPECT_TRUE(messages.shown.empty());
  return lines;
}

// A custom-text practice (TestType 0) of `paper` by `user`, typing `lines`.
void Practise(const ProgramFolder& folder, const std::string& paper, const std::string& user,
              const std::vector<std::string>& lines) {
  RunArgs args = DefaultArgs(folder);
  args.TestType = "0";
  args.ExamPaperNo = paper;
  args.UserID = user;
  fs::create_directories(folder.Scores());
  WriteTypedAnswer(folder.Scores() / "CTEST-1", lines);
  const ProcessResult run = folder.Scorer(args.Join());
  ASSERT_EQ(run.exit_status, 0) << run.err;
}

TEST(DrillCommand, HoldsTheMostMissedCharacterFirstUntilItIsTypedRightInThreeRuns) {
  ProgramFolder folder;
  const std::string text = std::string(KEYIN_SAMPLES) + "/paper-test1.txt";
  ASSERT_EQ(folder.Tool({"make-cus", text, (folder.Lib() / "P001.cus").string()}).exit_status, 0);
  // 晉太元中，武陵人捕魚為業。 / 緣溪行，忘路之遠近。
  const std::vector<std::string> paper = Sample("paper-test1.txt");
  const std::string line1 = paper[0], line2 = paper[1];
  auto with = [](std::string line, const std::string& from, const std::string& to) {
    return line.replace(line.find(from), from.size(), to);
  };
  // S1 gets 陵 wrong twice and 溪 once; S2's two later misses of 溪 are not S1's.
  Practise(folder, "P001", "S1", {with(line1, "陵", "林"), with(line2, "溪", "西")});
  Practise(folder, "P001", "S1", {with(line1, "陵", "林"), line2});
  for (int run = 0; run < 2; ++run) Practise(folder, "P001", "S2", {with(line2, "溪", "西")});

  const fs::path drill = folder.Root() / "drill.cus";
  const ProcessResult first = folder.Tool({"drill", "--user", "S1", "--output", drill.string()});
  ASSERT_EQ(first.exit_status, 0) << first.err;
  EXPECT_TRUE(first.out.starts_with("陵\t2\n溪\t1\n")) << first.out;
  EXPECT_EQ(DecodedLines(drill), (std::vector<std::string>{line1, line2}));

  // S1 practises the drill, typing its first line right: 陵 stays after two runs, leaves after
  // three; 溪, never reached, stays.
  fs::copy_file(drill, folder.Lib() / "D01.cus");
  for (int run = 1; run <= 3; ++run) {
    Practise(folder, "D01", "S1", {line1});
    const ProcessResult again = folder.Tool({"drill", "--user", "S1", "--output", drill.string()});
    ASSERT_EQ(again.exit_status, 0) << again.err;
    EXPECT_EQ(Contains(again.out, "陵\t"), run < 3) << "after " << run << " runs:\n" << again.out;
    EXPECT_TRUE(again.out.starts_with("溪\t1\n") || run < 3) << again.out;
  }
  EXPECT_EQ(DecodedLines(drill), (std::vector<std::string>{line2}));

  // A UserID with no scored run: said on stderr, nothing written.
  const fs::path none = folder.Root() / "none.cus";
  const ProcessResult unknown = folder.Tool({"drill", "--user", "S9", "--output", none.string()});
  EXPECT_EQ(unknown.exit_status, 1);
  EXPECT_TRUE(Contains(unknown.err, "S9")) << unknown.err;
  EXPECT_FALSE(fs::exists(none));

  // For the exam room: JSON with the codes, and an empty drill as an answer.
  const ProcessResult json = folder.Tool({"drill", "--user", "S1", "--json", "--method", "倉頡"});
  ASSERT_EQ(json.exit_status, 0) << json.err;
  EXPECT_TRUE(Contains(json.out, R"("character":"溪")")) << json.out;
  EXPECT_TRUE(Contains(json.out, R"("code":{"keys":"ebvk","method":"倉頡","radicals":"水月女大"})"))
      << json.out;
  const ProcessResult empty = folder.Tool({"drill", "--user", "S9", "--json"});
  EXPECT_EQ(empty.exit_status, 0);
  EXPECT_EQ(empty.out, "{\"characters\":[],\"lines\":[],\"runs\":0}\n");
}

}  // namespace
}  // namespace keyin::e2e
