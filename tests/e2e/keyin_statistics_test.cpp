// The input-method statistics through keyin-tool: top-method and usage-report over keyin record
// files written from plain text.
#include <gtest/gtest.h>

#include "harness.h"
#include "keyin_record_writer.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The example line: 倉頡 twice, 注音 once.
const std::string kExampleLine =
    KeyinRecordLine("3=", {{"中文", "倉頡"}, {"輸入", "倉頡"}, {"法", "注音"}});

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

const std::string kRuler = Repeat("=", 82);

// One method section of the report, as it stands in the file.
std::string Section(const std::string& method, const std::string& text) {
  return "●您使用了" + method + "輸入法輸入了下列文字：\r\n\r\n" + text + "\r\n\r\n" + kRuler +
         "\r\n\r\n";
}

const std::string kPracticeHeading = "※※※練習分析※※※\r\n\r\n";
const std::string kTestOneHeading = "※※※測驗一分析※※※\r\n\r\n";
const std::string kTestTwoHeading = "\r\n\r\n\r\n※※※測驗二分析※※※\r\n\r\n";

class KeyinStatisticsTest : public ::testing::Test {
 protected:
  fs::path Record(const char* mode_folder, int n) const {
    return folder_.Root() / mode_folder / ("Ctest-" + std::to_string(n) + ".any");
  }
  ProcessResult TopMethod(const std::string& part) const {
    return folder_.Tool({"top-method", "--run", args_.Join(), part});
  }
  ProcessResult UsageReport() const {
    return folder_.Tool({"usage-report", "--run", args_.Join()});
  }
  fs::path Report() const { return folder_.Scores() / "KeyinDetial.txt"; }
  fs::path Copy(const char* mode_folder) const {
    return folder_.Root() / mode_folder / "KeyinDetial.txt";
  }

  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

// --- top-method -----------------------------------------------------------------------------

TEST_F(KeyinStatisticsTest, NoRecordFileGivesOtherAndShowsNothing) {
  for (const char* test_type : {"3", "1"}) {
    args_.TestType = test_type;
    ProcessResult result = TopMethod("1");
    EXPECT_EQ(result.exit_status, 0) << test_type;
    EXPECT_EQ(result.out, "其他\n") << test_type;
    EXPECT_EQ(result.err, "") << test_type;
  }
}

TEST_F(KeyinStatisticsTest, TestReadsFileOneForPartOneAndBothFilesOtherwise) {
  WriteKeyinRecordFile(Record("ExamScr", 1),
                       {KeyinRecordLine("1=", {{"天", "大易"}, {"地", "大易"}})});
  WriteKeyinRecordFile(Record("ExamScr", 2), {KeyinRecordLine("2=", {{"人", "注音"}}),
                                              KeyinRecordLine("2=", {{"和", "注音"}}),
                                              KeyinRecordLine("2=", {{"平", "注音"}})});
  WriteKeyinRecordFile(Record("CAIScr", 1), {Repeat(KeyinRecordLine("", {{"字", "速成"}}), 9)});

  struct Case {
    const char* test_type;
    const char* part;
    const char* method;
  };
  for (const Case& c : {Case{"3", "1", "大易"}, Case{"3", "2", "注音"}, Case{"3", " 1", "注音"},
                        Case{"7", "1", "大易"}, Case{"7", "x", "注音"}}) {
    args_.TestType = c.test_type;
    ProcessResult result = TopMethod(c.part);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(result.out, std::string(c.method) + "\n")
        << "TestType " << c.test_type << ", part \"" << c.part << "\"";
  }
}

TEST_F(KeyinStatisticsTest, PracticeReadsOnlyTheFirstFileOfCAIScr) {
  WriteKeyinRecordFile(Record("CAIScr", 1), {KeyinRecordLine("", {{"天", "行列"}})});
  WriteKeyinRecordFile(Record("CAIScr", 2), {Repeat(KeyinRecordLine("", {{"地", "注音"}}), 3)});
  WriteKeyinRecordFile(Record("ExamScr", 1), {Repeat(KeyinRecordLine("", {{"人", "大易"}}), 3)});
  args_.TestType = "1";
  for (const char* part : {"1", "2"}) {
    ProcessResult result = TopMethod(part);
    EXPECT_EQ(result.out, "行列\n") << "part " << part;
  }
}

TEST_F(KeyinStatisticsTest, ExampleLineWithAndWithoutItsLastBar) {
  args_.TestType = "1";
  WriteKeyinRecordFile(Record("CAIScr", 1), {kExampleLine});
  EXPECT_EQ(TopMethod("1").out, "倉頡\n");

  // With one more 注音 entry the counts tie at 2 and the earlier method of the list (注音)
  // wins; without the last "|" the example's 注音 entry is lost and 倉頡 leads again.
  const std::string extra = KeyinRecordLine("9=", {{"天", "注音"}});
  WriteKeyinRecordFile(Record("CAIScr", 1), {kExampleLine, extra});
  EXPECT_EQ(TopMethod("1").out, "注音\n");
  std::string without_bar = kExampleLine.substr(0, kExampleLine.size() - 1);
  WriteKeyinRecordFile(Record("CAIScr", 1), {without_bar, extra});
  ProcessResult result = TopMethod("1");
  EXPECT_EQ(result.out, "倉頡\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(KeyinStatisticsTest, UnknownMethodIsNotCounted) {
  args_.TestType = "1";
  WriteKeyinRecordFile(
      Record("CAIScr", 1),
      {KeyinRecordLine("3=", {{"拼", "拼音"}, {"音", "拼音"}, {"字", "大易"}}), "3="});
  ProcessResult result = TopMethod("1");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "大易\n");
  EXPECT_EQ(result.err, "");

  WriteKeyinRecordFile(Record("CAIScr", 1), {KeyinRecordLine("3=", {{"拼", "拼音"}})});
  EXPECT_EQ(TopMethod("1").out, "其他\n");
}

TEST_F(KeyinStatisticsTest, EntryWithoutCommaShowsTheMessageAndGivesOther) {
  args_.TestType = "1";
  for (const std::string& bad : {std::string("3=中文倉頡|"), std::string("3=||")}) {
    WriteKeyinRecordFile(Record("CAIScr", 1), {kExampleLine, bad});
    ProcessResult result = TopMethod("1");
    EXPECT_EQ(result.out, "其他\n") << bad;
    EXPECT_EQ(result.err.rfind("GetKeyin：", 0), 0u) << result.err;
    EXPECT_EQ(result.exit_status, 1);
  }
}

TEST_F(KeyinStatisticsTest, LineThatDoesNotDecipherIsReportedAndCountingGoesOn) {
  args_.TestType = "1";
  // A field far beyond any character code.
  std::string broken = std::string(20, '9');
  WriteBytes(Record("CAIScr", 1),
             EncodeKeyinRecordLine(KeyinRecordLine("", {{"天", "大易"}})) + "\r\n" + broken +
                 "\r\n" + EncodeKeyinRecordLine(KeyinRecordLine("", {{"地", "大易"}})) + "\r\n");
  ProcessResult result = TopMethod("1");
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.out, "大易\n");
  EXPECT_TRUE(Contains(result.err, "解密")) << result.err;
}

TEST_F(KeyinStatisticsTest, RefusesAnArgumentStringThatIsNotSixteenFields) {
  ProcessResult result = folder_.Tool({"top-method", "--run", "a,b,c", "1"});
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_TRUE(Contains(result.err, "16")) << result.err;
  EXPECT_EQ(result.out, "");
}

TEST_F(KeyinStatisticsTest, TestTypeThatIsNoNumberShowsTheMessage) {
  args_.TestType = "x";
  ProcessResult result = TopMethod("1");
  EXPECT_EQ(result.out, "其他\n");
  EXPECT_EQ(result.err.rfind("GetKeyin：", 0), 0u) << result.err;
}

// --- usage-report ---------------------------------------------------------------------------

TEST_F(KeyinStatisticsTest, PracticeReportListsEachMethodAndIsCopiedToCAIScr) {
  args_.TestType = "1";
  WriteKeyinRecordFile(Record("CAIScr", 1), {kExampleLine});
  ProcessResult result = UsageReport();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  // Sections follow the method list (注音 before 倉頡), not the order of the entries.
  const std::string expected =
      kPracticeHeading + Section("注音", "法") + Section("倉頡", "中文輸入");
  EXPECT_EQ(ReadAnsiText(Report()), expected);
  EXPECT_EQ(ReadBytes(Copy("CAIScr")), ReadBytes(Report()));
  EXPECT_FALSE(fs::exists(Copy("ExamScr")));
}

TEST_F(KeyinStatisticsTest, TestReportHasOneBlockPerTestAndTheNaturalRule) {
  args_.TestType = "0";
  WriteKeyinRecordFile(Record("ExamScr", 1), {KeyinRecordLine("1=", {{"中文", "倉頡"}})});
  WriteKeyinRecordFile(Record("ExamScr", 2),
                       {KeyinRecordLine("2=", {{"天", "自然"}, {"天", "行列"}, {"人", "注音"}}),
                        KeyinRecordLine("2=", {{"地", "自然"}, {"地", "行列"}})});
  ProcessResult result = UsageReport();
  EXPECT_EQ(result.exit_status, 0) << result.err;
  const std::string expected = kTestOneHeading + Section("倉頡", "中文") + kTestTwoHeading +
                               Section("行列", "天地") + Section("注音", "人") +
                               Section("自然", "地");
  EXPECT_EQ(ReadAnsiText(Report()), expected);
  EXPECT_EQ(ReadBytes(Copy("ExamScr")), ReadBytes(Report()));
  EXPECT_FALSE(fs::exists(Copy("CAIScr")));
}

TEST_F(KeyinStatisticsTest, TestTypeSevenReadsExamScrAndCopiesToCAIScr) {
  args_.TestType = "7";
  WriteKeyinRecordFile(Record("ExamScr", 2), {KeyinRecordLine("", {{"天", "大易"}})});
  ASSERT_EQ(UsageReport().exit_status, 0);
  EXPECT_EQ(ReadAnsiText(Report()), kPracticeHeading + kTestTwoHeading + Section("大易", "天"));
  EXPECT_EQ(ReadBytes(Copy("CAIScr")), ReadBytes(Report()));
}

TEST_F(KeyinStatisticsTest, NoRecordFileGivesTheHeadingsOnly) {
  struct Case {
    const char* test_type;
    std::string report;
    const char* copy_folder;
  };
  for (const Case& c : {Case{"1", kPracticeHeading, "CAIScr"},
                        Case{"0", kTestOneHeading + kTestTwoHeading, "ExamScr"}}) {
    args_.TestType = c.test_type;
    ProcessResult result = UsageReport();
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_EQ(ReadAnsiText(Report()), c.report) << c.test_type;
    EXPECT_EQ(ReadAnsiText(Copy(c.copy_folder)), c.report) << c.test_type;
  }
}

TEST_F(KeyinStatisticsTest, ReportOfAnEarlierCallIsDeletedFirst) {
  args_.TestType = "1";
  WriteKeyinRecordFile(Record("CAIScr", 1), {kExampleLine});
  WriteBytes(Report(), "left over\r\n");
  ASSERT_EQ(UsageReport().exit_status, 0);
  ASSERT_EQ(UsageReport().exit_status, 0);
  EXPECT_EQ(ReadAnsiText(Report()),
            kPracticeHeading + Section("注音", "法") + Section("倉頡", "中文輸入"));
}

TEST_F(KeyinStatisticsTest, BadEntryInTestTwoKeepsTestOneAndMakesNoCopy) {
  args_.TestType = "0";
  WriteKeyinRecordFile(Record("ExamScr", 1), {KeyinRecordLine("1=", {{"中文", "倉頡"}})});
  WriteKeyinRecordFile(Record("ExamScr", 2), {"2=天大易|"});
  ProcessResult result = UsageReport();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(Contains(result.err, "keyin-tool: ")) << result.err;
  EXPECT_FALSE(Contains(result.err, "GetKeyin")) << result.err;
  EXPECT_EQ(ReadAnsiText(Report()), kTestOneHeading + Section("倉頡", "中文"));
  EXPECT_FALSE(fs::exists(Copy("ExamScr")));
}

TEST_F(KeyinStatisticsTest, UsageReportFailsWithoutWritingWhenTestTypeIsNoNumber) {
  args_.TestType = "";
  ProcessResult result = UsageReport();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(fs::exists(Report()));
}

}  // namespace
}  // namespace keyin::e2e
