// The input-method statistics through keyin-tool: top-method and usage-report over keyin record
// files written from plain text.
#include <gtest/gtest.h>

#include "harness.h"
#include "platform/code_page.h"
#include "support/decoding.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

// A plain record line: the head (e.g. "3=") and "typed,method|" for every entry, `times` over.
std::string Line(const std::string& head,
                 const std::vector<std::pair<std::string, std::string>>& entries, int times = 1) {
  std::string line = head;
  for (int i = 0; i < times; ++i) {
    for (const auto& [typed, method] : entries) line += typed + "," + method + "|";
  }
  return line;
}

const std::string kExample =  // 倉頡 twice, 注音 once
    Line("3=", {{"中文", "倉頡"}, {"輸入", "倉頡"}, {"法", "注音"}});
const std::string kPractice = "※※※練習分析※※※\r\n\r\n";
const std::string kTestOne = "※※※測驗一分析※※※\r\n\r\n";
const std::string kTestTwo = "\r\n\r\n\r\n※※※測驗二分析※※※\r\n\r\n";

// One method section of the report.
std::string Section(const std::string& method, const std::string& text) {
  return "●您使用了" + method + "輸入法輸入了下列文字：\r\n\r\n" + text + "\r\n\r\n" +
         std::string(82, '=') + "\r\n\r\n";
}

// A keyin record file as the input front end leaves it: every line encoded like a custom text
// line, in code page 950, and ended by CR LF.
void Write(const fs::path& file, const std::vector<std::string>& plain_lines) {
  std::string bytes;
  for (const std::string& line : plain_lines) {
    bytes += CV2BExact(EncryptLine(Utf8ToUtf16(line)), "keyin record line") + "\r\n";
  }
  WriteBytes(file, bytes);
}

// The report in a folder (the score folder, or its copy in a mode folder) as UTF-8.
std::string Report(const fs::path& folder) {
  return Utf16ToUtf8(Cp950ToUtf16(ReadBytes(folder / "KeyinDetial.txt")));
}

class KeyinStatisticsTest : public ::testing::Test {
 protected:
  void Write(const char* mode_folder, int n, const std::vector<std::string>& plain_lines) const {
    keyin::e2e::Write(folder_.Root() / mode_folder / ("Ctest-" + std::to_string(n) + ".any"),
                      plain_lines);
  }
  ProcessResult TopMethod(const std::string& part) const {
    return folder_.Tool({"top-method", "--run", args_.Join(), part});
  }

  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

// Each choice of files gives another leader: ExamScr 1 大易, 2 注音, both 行列; CAIScr 1 速成.
TEST_F(KeyinStatisticsTest, FilesReadByKindOfRunAndPart) {
  args_.TestType = "3";
  ProcessResult none = TopMethod("1");  // no file: "其他" and nothing shown
  EXPECT_EQ(none.out + none.err, "其他\n");
  Write("ExamScr", 1, {Line("1=", {{"天", "大易"}}, 3) + Line("", {{"地", "行列"}}, 2)});
  Write("ExamScr", 2, {Line("2=", {{"人", "注音"}}, 4), Line("2=", {{"和", "行列"}}, 3)});
  Write("CAIScr", 1, {Line("", {{"字", "速成"}})});
  Write("CAIScr", 2, {Line("", {{"字", "注音"}}, 9)});
  const struct {
    const char* test_type;
    const char* part;
    const char* method;
  } cases[] = {{"3", "1", "大易"}, {"3", "2", "行列"}, {"3", " 1", "行列"}, {"7", "1", "大易"},
               {"7", "x", "行列"}, {"1", "1", "速成"}, {"1", "2", "速成"}};
  for (const auto& c : cases) {
    args_.TestType = c.test_type;
    ProcessResult result = TopMethod(c.part);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, std::string(c.method) + "\n")
        << "TestType " << c.test_type << ", part \"" << c.part << "\"";
  }
}

// Methods the list does not name (拼音) and lines without entries are not counted.
TEST_F(KeyinStatisticsTest, ExampleLineWithAndWithoutItsLastBar) {
  args_.TestType = "1";
  Write("CAIScr", 1, {kExample, Line("3=", {{"拼", "拼音"}}, 3), "3="});
  EXPECT_EQ(TopMethod("1").out, "倉頡\n");
  // One more 注音 ties at 2 and the earlier method of the list (注音) wins; without the last "|"
  // the example's 注音 entry is lost.
  const std::string extra = Line("9=", {{"天", "注音"}});
  Write("CAIScr", 1, {kExample, extra});
  EXPECT_EQ(TopMethod("1").out, "注音\n");
  Write("CAIScr", 1, {kExample.substr(0, kExample.size() - 1), extra});
  ProcessResult result = TopMethod("1");
  EXPECT_EQ(result.out + result.err, "倉頡\n");
}

TEST_F(KeyinStatisticsTest, BadInputShowsTheMessageAndGivesOther) {
  args_.TestType = "1";
  for (const std::string bad : {"3=中文倉頡|", "3=||"}) {  // entries without a comma
    Write("CAIScr", 1, {kExample, bad});
    ProcessResult result = TopMethod("1");
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "其他\n") << bad;
    EXPECT_EQ(result.err.rfind("GetKeyin：", 0), 0u) << result.err;
  }
  args_.TestType = "x";
  ProcessResult result = TopMethod("1");
  EXPECT_EQ(result.out, "其他\n");
  EXPECT_EQ(result.err.rfind("GetKeyin：", 0), 0u) << result.err;
  result = folder_.Tool({"top-method", "--run", "a,b,c", "1"});
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_NE(result.err.find("16"), std::string::npos) << result.err;
}

// Sections follow the method list (注音 before 倉頡), not the entries; 自然 keeps only the text of
// its last entry. A report left by an earlier call is replaced.
TEST(KeyinStatistics, UsageReports) {
  const struct {
    const char* test_type;
    std::vector<std::pair<const char*, std::vector<std::string>>> files;
    std::string report;
    const char* copy_folder;
  } cases[] = {{"1",
                {{"CAIScr/Ctest-1.any", {kExample}}},
                kPractice + Section("注音", "法") + Section("倉頡", "中文輸入"),
                "CAIScr"},
               {"0",
                {{"ExamScr/Ctest-1.any", {Line("1=", {{"中文", "倉頡"}})}},
                 {"ExamScr/Ctest-2.any",
                  {Line("2=", {{"天", "自然"}, {"天", "行列"}, {"人", "注音"}}),
                   Line("2=", {{"地", "自然"}, {"地", "行列"}})}}},
                kTestOne + Section("倉頡", "中文") + kTestTwo + Section("行列", "天地") +
                    Section("注音", "人") + Section("自然", "地"),
                "ExamScr"},
               {"1", {}, kPractice, "CAIScr"},
               {"0", {}, kTestOne + kTestTwo, "ExamScr"},
               {"7", {}, kPractice + kTestTwo, "CAIScr"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.report);
    ProgramFolder folder;
    RunArgs args = DefaultArgs(folder);
    args.TestType = c.test_type;
    for (const auto& [file, lines] : c.files) Write(folder.Root() / file, lines);
    WriteBytes(folder.Scores() / "KeyinDetial.txt", "left over\r\n");
    ProcessResult result = folder.Tool({"usage-report", "--run", args.Join()});
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(Report(folder.Scores()), c.report);
    EXPECT_EQ(Report(folder.Root() / c.copy_folder), c.report);
    const char* other = std::string(c.copy_folder) == "CAIScr" ? "ExamScr" : "CAIScr";
    EXPECT_FALSE(fs::exists(folder.Root() / other / "KeyinDetial.txt"));
  }
}

TEST_F(KeyinStatisticsTest, BadEntryInTestTwoKeepsTestOneAndMakesNoCopy) {
  args_.TestType = "0";
  Write("ExamScr", 1, {Line("1=", {{"中文", "倉頡"}})});
  Write("ExamScr", 2, {"2=天大易|"});
  ProcessResult result = folder_.Tool({"usage-report", "--run", args_.Join()});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err.rfind("keyin-tool: ", 0), 0u) << result.err;
  EXPECT_EQ(result.err.find("GetKeyin"), std::string::npos) << result.err;
  EXPECT_EQ(Report(folder_.Scores()), kTestOne + Section("倉頡", "中文"));
  EXPECT_FALSE(fs::exists(folder_.Root() / "ExamScr/KeyinDetial.txt"));
  args_.TestType = "";  // no number: nothing written
  fs::remove(folder_.Scores() / "KeyinDetial.txt");
  EXPECT_EQ(folder_.Tool({"usage-report", "--run", args_.Join()}).exit_status, 1);
  EXPECT_FALSE(fs::exists(folder_.Scores() / "KeyinDetial.txt"));
}

}  // namespace
}  // namespace keyin::e2e
