// The input-method statistics through keyin-tool: top-method and usage-report over keyin record
// files written from plain text.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/code_page.h"
#include "support/decoding.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

std::string Times(const std::string& text, int times) {
  std::string repeated;
  while (times-- > 0) repeated += text;
  return repeated;
}

const std::string kExample = "3=中文,倉頡|輸入,倉頡|法,注音|";  // 倉頡 twice, 注音 once
const std::string kPractice = "※※※練習分析※※※\r\n\r\n";
const std::string kTestOne = "※※※測驗一分析※※※\r\n\r\n";
const std::string kTestTwo = "\r\n\r\n\r\n※※※測驗二分析※※※\r\n\r\n";

// One method section of the report.
std::string Section(const std::string& method, const std::string& text) {
  return "●您使用了" + method + "輸入法輸入了下列文字：\r\n\r\n" + text + "\r\n\r\n" +
         std::string(82, '=') + "\r\n\r\n";
}

// Writes <file>.any as the input front end leaves it: every line encoded like a custom text
// line, in code page 950, and ended by CR LF.
void Write(const ProgramFolder& folder, const std::string& file,
           const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += CV2BExact(EncryptLine(Utf8ToUtf16(line)), "keyin record line") + "\r\n";
  }
  WriteBytes(folder.Root() / (file + ".any"), bytes);
}

// The report in a folder (the score folder, or its copy in a mode folder) as UTF-8.
std::string Report(const fs::path& folder) {
  return Utf16ToUtf8(Cp950ToUtf16(ReadBytes(folder / "KeyinDetial.txt")));
}

// keyin-tool <command> --run <the default run of TestType> <more arguments>.
ProcessResult Tool(const ProgramFolder& folder, const char* TestType,
                   std::vector<std::string> arguments) {
  RunArgs args = DefaultArgs(folder);
  args.TestType = TestType;
  arguments.insert(arguments.begin() + 1, {"--run", args.Join()});
  return folder.Tool(arguments);
}

// "<exit status> <output><first 11 bytes of the message>": GetKeyin's begins "GetKeyin：".
std::string TopMethod(const ProgramFolder& folder, const char* TestType, const char* part) {
  ProcessResult result = Tool(folder, TestType, {"top-method", part});
  return std::to_string(result.exit_status) + " " + result.out + result.err.substr(0, 11);
}

// Each choice of files gives another leader: ExamScr 1 大易, 2 注音, both 行列; CAIScr 1 速成.
// No file gives "其他" silently, a TestType that is no number with GetKeyin's message.
TEST(KeyinStatistics, FilesReadByKindOfRunAndPart) {
  ProgramFolder folder;
  EXPECT_EQ(TopMethod(folder, "3", "1"), "0 其他\n");
  Write(folder, "ExamScr/Ctest-1", {"1=" + Times("天,大易|", 3) + Times("地,行列|", 2)});
  Write(folder, "ExamScr/Ctest-2", {"2=" + Times("人,注音|", 4), "2=" + Times("和,行列|", 3)});
  Write(folder, "CAIScr/Ctest-1", {"字,速成|"});
  Write(folder, "CAIScr/Ctest-2", {Times("字,注音|", 9)});
  const char* cases[][3] = {{"3", "1", "0 大易\n"},  {"3", "2", "0 行列\n"},
                            {"3", " 1", "0 行列\n"}, {"7", "1", "0 大易\n"},
                            {"7", "x", "0 行列\n"},  {"1", "1", "0 速成\n"},
                            {"1", "2", "0 速成\n"},  {"x", "1", "1 其他\nGetKeyin："}};
  for (const auto& [test_type, part, shown] : cases) {
    EXPECT_EQ(TopMethod(folder, test_type, part), shown) << test_type << ", part '" << part << "'";
  }
}

// Methods the list does not name (拼音) and lines without entries are not counted; a tie goes to
// the earlier method of the list (注音); without its last "|" the example loses its 注音 entry.
// An entry without a comma gives "其他" and GetKeyin's message.
TEST(KeyinStatistics, TopMethodOfTheExampleLine) {
  ProgramFolder folder;
  const std::string tie = "9=天,注音|", failed = "1 其他\nGetKeyin：";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{kExample, "3=" + Times("拼,拼音|", 3), "3="}, "0 倉頡\n"},
      {{kExample, tie}, "0 注音\n"},
      {{kExample.substr(0, kExample.size() - 1), tie}, "0 倉頡\n"},
      {{kExample, "3=中文倉頡|"}, failed},
      {{kExample, "3=||"}, failed}};
  for (const auto& [lines, shown] : cases) {
    Write(folder, "CAIScr/Ctest-1", lines);
    EXPECT_EQ(TopMethod(folder, "1", "1"), shown) << lines.back();
  }
}

// Sections follow the method list (注音 before 倉頡), not the entries; 自然 keeps only the text of
// its last entry. Each report replaces the earlier one and is copied to the mode folder: ExamScr
// for TestType 0 only, though 7 reads its files from there too.
TEST(KeyinStatistics, UsageReports) {
  ProgramFolder folder;
  Write(folder, "CAIScr/Ctest-1", {kExample});
  Write(folder, "ExamScr/Ctest-1", {"1=中文,倉頡|"});
  Write(folder, "ExamScr/Ctest-2", {"2=天,自然|天,行列|人,注音|", "2=地,自然|地,行列|"});
  WriteBytes(folder.Scores() / "KeyinDetial.txt", "left over\r\n");
  const std::string one = Section("倉頡", "中文"), two = kTestTwo + Section("行列", "天地") +
                                                         Section("注音", "人") +
                                                         Section("自然", "地");
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"1", "CAIScr", kPractice + Section("注音", "法") + Section("倉頡", "中文輸入")},
      {"0", "ExamScr", kTestOne + one + two},
      {"7", "CAIScr", kPractice + one + two}};
  for (const auto& [test_type, copy_folder, report] : cases) {
    EXPECT_EQ(Tool(folder, test_type, {"usage-report"}).exit_status, 0);
    EXPECT_EQ(Report(folder.Scores()), report) << test_type;
    EXPECT_EQ(Report(folder.Root() / copy_folder), report) << test_type;
  }
  EXPECT_EQ(Report(folder.Root() / "ExamScr"), std::get<2>(cases[1]));
}

// A bad entry in test two fails the run without GetKeyin's message, keeps test one's part and
// makes no copy; a TestType that is no number writes nothing. No file at all gives the headings.
TEST(KeyinStatistics, BadEntryInTestTwoKeepsTestOneAndMakesNoCopy) {
  ProgramFolder folder;
  Write(folder, "ExamScr/Ctest-1", {"1=中文,倉頡|"});
  Write(folder, "ExamScr/Ctest-2", {"2=天大易|"});
  ProcessResult result = Tool(folder, "0", {"usage-report"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err.rfind("keyin-tool: ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find("GetKeyin"), std::string::npos) << result.err;
  EXPECT_EQ(Report(folder.Scores()), kTestOne + Section("倉頡", "中文"));
  EXPECT_FALSE(fs::exists(folder.Root() / "ExamScr/KeyinDetial.txt"));
  fs::remove(folder.Scores() / "KeyinDetial.txt");
  EXPECT_EQ(Tool(folder, "", {"usage-report"}).exit_status, 1);
  EXPECT_FALSE(fs::exists(folder.Scores() / "KeyinDetial.txt"));
  EXPECT_EQ(Tool(folder, "1", {"usage-report"}).exit_status, 0);
  EXPECT_EQ(Report(folder.Root() / "CAIScr"), kPractice);
}

}  // namespace
}  // namespace keyin::e2e
