// keyin-scorer from start-up to the report files, as a front end starts it.
#include <gtest/gtest.h>

#include "harness.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kTime[] = "2024-03-05 09:07:02";

// Compares a report with its expected file; KEYIN_UPDATE_EXPECTED=1 rewrites the expected file.
void ExpectReport(const fs::path& report, const std::string& expected_name) {
  fs::path expected = fs::path(KEYIN_EXPECTED) / expected_name;
  std::string actual = ReadReport(report);
  if (const char* update = std::getenv("KEYIN_UPDATE_EXPECTED"); update && *update == '1') {
    WriteBytes(expected, actual);
  }
  EXPECT_EQ(actual, ReadBytes(expected)) << expected_name;
}

class ScorerTest : public ::testing::Test {
 protected:
  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

TEST_F(ScorerTest, WrongFieldCountShowsTheMessageAndWritesNothing) {
  const std::string cases[] = {"", "a,b,c", args_.Join() + ",", args_.Join() + ",x,y"};
  for (const std::string& arguments : cases) {
    ProcessResult result = folder_.Scorer(arguments);
    EXPECT_EQ(result.exit_status, 2) << arguments;
    EXPECT_TRUE(Contains(result.err, "傳遞的參數不正確！")) << result.err;
  }
  EXPECT_TRUE(fs::is_empty(folder_.Scores()));
}

TEST(Scorer, MissingKeyinDatabaseEndsBeforeTheArgumentsAreLookedAt) {
  ProgramFolder folder(false);
  ProcessResult result = folder.Scorer("not,even,sixteen");
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_TRUE(Contains(result.err, "系統訊息")) << result.err;
  EXPECT_TRUE(Contains(result.err, "Vorkeyin.mdb找不到或已損毀，請重新安裝系統")) << result.err;
}

// Asked for help, the scorer says how to run it before it looks for any database; any other
// single field is a run like any other.
TEST(Scorer, HelpComesBeforeAnyDatabase) {
  ProgramFolder folder(false);
  for (const char* asking : {"--help", "-h", "--version"}) {
    ProcessResult result = folder.Scorer(asking);
    EXPECT_EQ(result.exit_status, 0) << asking;
    EXPECT_EQ(result.err, "") << asking;
    for (const char* told : {"Usage: keyin-scorer", "12 SubtractScore", "Exit status: 0 done"}) {
      EXPECT_TRUE(Contains(result.out, told)) << asking << ": " << result.out;
    }
  }
  ProcessResult run = folder.Scorer("--help,");
  EXPECT_EQ(run.exit_status, 3) << run.err;
  EXPECT_EQ(run.out, "");
}

TEST_F(ScorerTest, LibraryPaperBothPartsGiveTheExpectedReports) {
  folder_.InstallSamplePaper();
  args_.TestType = "1";  // a practice: reports, and no result table
  for (const char* part : {"1", "2"}) {
    args_.TestPart = part;
    std::string name = std::string("CTEST-") + part;
    WriteTypedAnswer(folder_.Scores() / name,
                     Sample(part[0] == '1' ? "typed-test1.txt" : "typed-test2.txt"));
    ProcessResult result = folder_.Scorer(args_.Join(), kTime);
    ASSERT_EQ(result.exit_status, 0) << result.err;
    for (const char* extension : {".SCR", ".TOT", ".CHK"}) {
      ExpectReport(folder_.Scores() / (name + extension), "library-" + name + extension);
    }
  }
}

TEST_F(ScorerTest, CustomTextIsScoredForEveryKindThatReadsAsZero) {
  ProcessResult made = folder_.Tool({"make-cus", std::string(KEYIN_SAMPLES) + "/paper-test1.txt",
                                     (folder_.Lib() / "P001.cus").string()});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  args_.TestPart = "1";
  WriteTypedAnswer(folder_.Scores() / "CTEST-1", Sample("typed-test1.txt"));
  for (const char* kind : {"0", "00"}) {
    args_.TestType = kind;
    ProcessResult result = folder_.Scorer(args_.Join(), kTime);
    ASSERT_EQ(result.exit_status, 0) << kind << result.err;
    ExpectReport(folder_.Scores() / "CTEST-1.SCR", "custom-CTEST-1.SCR");
    EXPECT_FALSE(fs::exists(folder_.Lib() / "libtemp")) << "a custom text needs no libtemp";
  }
}

TEST_F(ScorerTest, EmptyTypedAnswerIsTooSmall) {
  folder_.InstallSamplePaper();
  WriteTypedAnswer(folder_.Scores() / "CTEST-1", {});
  ProcessResult result = folder_.Scorer(args_.Join(), kTime);
  ASSERT_EQ(result.exit_status, 0) << result.err;
  std::string listing = ReadReport(folder_.Scores() / "CTEST-1.SCR");
  EXPECT_TRUE(Contains(listing, "02 ＜檔案太小＞")) << listing;
  EXPECT_EQ(ReadReport(folder_.Scores() / "CTEST-1.TOT"), "CTEST-1 S=0 E=0/0=99%\r\n0\r\n99\r\n");
}

// The typed-line table holds 200 lines: one more ends the run with one stderr line, and the
// reports an earlier run of the part left are emptied (their byte-order mark only).
TEST_F(ScorerTest, MoreThanTwoHundredTypedLinesAreRefused) {
  folder_.InstallSamplePaper();
  WriteTypedAnswer(folder_.Scores() / "CTEST-1", Sample("typed-test1.txt"));
  ASSERT_EQ(folder_.Scorer(args_.Join()).exit_status, 0);
  WriteTypedAnswer(folder_.Scores() / "CTEST-1",
                   std::vector<std::string>(201, "晉太元中，武陵人捕魚為業。"));
  ProcessResult over = folder_.Scorer(args_.Join());
  EXPECT_EQ(over.exit_status, 1);
  EXPECT_TRUE(Contains(over.err, "keyin-scorer: the typed answer has more than 200 lines"))
      << over.err;
  for (const char* report : {"CTEST-1.SCR", "CTEST-1.TOT", "CTEST-1.CHK"}) {
    EXPECT_EQ(ReadBytes(folder_.Scores() / report), "\xFF\xFE") << report;
  }
}

// Nothing is written: a kind of run that is no number is shown by Cmd_Scr's handler, the rest
// end with one stderr line.
TEST_F(ScorerTest, FailuresBeforeScoringWriteNothing) {
  struct Case {
    void (*change)(RunArgs&);
    const char* mentions;
  };
  const Case cases[] = {
      {[](RunArgs& a) { a.TestType = "x"; }, "Cmd_Scr Error \nCmd_Scr 模組發生錯誤，因為："},
      {[](RunArgs& a) { a.SubtractScore = "half"; }, "keyin-scorer: the deduction standard"},
      {[](RunArgs& a) { a.TestPart = "2"; }, "CTEST-2"},  // no typed answer
  };
  folder_.InstallSamplePaper();
  for (const Case& c : cases) {
    RunArgs args = args_;
    c.change(args);
    ProcessResult result = folder_.Scorer(args.Join());
    EXPECT_EQ(result.exit_status, 1) << c.mentions;
    EXPECT_TRUE(Contains(result.err, c.mentions)) << result.err;
  }
  EXPECT_TRUE(fs::is_empty(folder_.Scores()));
}

}  // namespace
}  // namespace keyin::e2e
