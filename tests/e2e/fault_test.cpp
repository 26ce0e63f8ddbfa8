// Bad input and a hostile environment: each run ends with a clear message or stderr line and
// its documented exit status, and loses nothing that was stored before.
#include <gtest/gtest.h>

#include "db_helpers.h"
#include "harness.h"
#include "platform/code_page.h"
#include "support/decoding.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.InstallSamplePaper();
    WriteTypedAnswer(folder_.Scores() / "CTEST-1", Sample("typed-test1.txt"));
  }
  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

TEST_F(FaultTest, ReportsThatCannotBeWrittenEndWithOneLine) {
  fs::create_directory(folder_.Scores() / "CTEST-1.SCR");  // the report's name is taken
  WriteBytes(folder_.Root() / "plain-file", "x");
  const std::string inside_a_file = (folder_.Root() / "plain-file" / "scores").string() + "/";
  for (const std::string& score_folder : {args_.ScrPath, inside_a_file}) {
    args_.ScrPath = score_folder;
    ProcessResult result = folder_.Scorer(args_.Join());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(Contains(result.err, "keyin-scorer: cannot create")) << result.err;
  }
}

// Another process holds the writers' lock longer than the store waits for it (ten seconds): the
// run gives up with one line, and the row stored before is untouched.
TEST_F(FaultTest, DatabaseLockedLongerThanTheTimeoutKeepsWhatWasStored) {
  args_.TestType = "4";
  ASSERT_EQ(folder_.Scorer(args_.Join()).exit_status, 0);
  auto holder = OpenKeyin(folder_);
  holder->Begin();
  WriteTypedAnswer(folder_.Scores() / "CTEST-2", {"水陸草木之花，可愛者甚蕃。"});
  args_.TestPart = "2";
  ProcessResult result = folder_.Scorer(args_.Join());
  holder->Rollback();
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(Contains(result.err, "locked")) << result.err;
  DbRows rows = holder->Query("SELECT * FROM OfflineScore");
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(std::get<double>(rows.First()["Score1"]), 36);
  EXPECT_TRUE(IsEmpty(rows.First()["Score2"]));
}

TEST_F(FaultTest, DamagedDatabaseEndsBeforeAnythingIsWritten) {
  WriteBytes(folder_.KeyinDatabase(), std::string(4096, '\x5A'));
  ProcessResult result = folder_.Scorer(args_.Join());
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(Contains(result.err, "keyin-scorer: ")) << result.err;
  EXPECT_TRUE(Contains(result.err, "not a database")) << result.err;
  EXPECT_FALSE(fs::exists(folder_.Scores() / "CTEST-1.SCR"));
}

// A missing paper would score every candidate 0 against nothing (an empty or damaged one:
// honest_end_test.cpp): it is refused.
TEST_F(FaultTest, MissingPaperIsNamedAndNotMadeEmpty) {
  fs::remove(folder_.Lib() / "P001.LIB");
  ProcessResult missing = folder_.Scorer(args_.Join());
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_TRUE(Contains(missing.err, "P001.LIB")) << missing.err;
  EXPECT_FALSE(fs::exists(folder_.Lib() / "P001.LIB")) << "no empty paper is left behind";
}

TEST_F(FaultTest, BrokenTypedAnswerIsScoredAsItStands) {
  std::string bytes = TypedAnswerBytes({"晉太元中，武陵人捕魚為業。"});
  bytes += std::string("\x00\xD8", 2);  // a lone high surrogate
  bytes += std::string(
      "A\x00\x00\x00"
      "B\x00\r\x00\n\x00",
      10);          // NUL inside a line
  bytes += "\x41";  // an odd final byte
  WriteBytes(folder_.Scores() / "CTEST-1", bytes);
  args_.TestType = "1";
  ProcessResult result = folder_.Scorer(args_.Join());
  ASSERT_EQ(result.exit_status, 0) << result.err;
  std::string listing = ReadReport(folder_.Scores() / "CTEST-1.SCR");
  EXPECT_TRUE(Contains(listing, "01 晉太元中，武陵人捕魚為業。")) << listing;
  EXPECT_TRUE(Contains(listing,
                       "02 \xEF\xBF\xBD"
                       "A"))
      << listing;  // the surrogate shows as U+FFFD
}

TEST_F(FaultTest, VeryLongCustomTextLines) {
  // One line of 2,000 characters (40,000 characters encoded), then one of 40,000 characters,
  // whose 40,000 fields are more than the field counter takes: that line is lost with a message.
  std::u16string long_line(2000, u'甲');
  std::string cus = Utf16ToCp950(EncryptLine(long_line)) + "\r\n" +
                    Utf16ToCp950(EncryptLine(u"丙丁戊己")) + "\r\n";
  std::string huge(40000 * 20, ' ');
  for (std::size_t field = 0; field < 40000; ++field) huge[field * 20 + 19] = '1';
  cus += huge + "\r\n";
  WriteBytes(folder_.Lib() / "P001.cus", cus);
  WriteTypedAnswer(folder_.Scores() / "CTEST-1", {"甲甲甲甲甲甲甲甲", "丙丁戊己"});
  args_.TestType = "0";
  ProcessResult result = folder_.Scorer(args_.Join());
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_TRUE(Contains(result.err, "解密")) << result.err;
  std::string listing = ReadReport(folder_.Scores() / "CTEST-1.SCR");
  EXPECT_TRUE(Contains(listing, "02 丙丁戊己")) << listing;
}

// Unusual texts in the run parameters are stored as they were given; a comma splits a field.
TEST_F(FaultTest, UnusualRunParametersAreStoredAsGiven) {
  struct Case {
    const char* name;
    void (*change)(RunArgs&);
    int exit_status;
    std::string row;  // id, StuName, ClassName, UseTime of the practice record
  };
  const Case cases[] = {
      {"quotes", [](RunArgs& a) { a.StuName = "O'Brien \"Jr\""; }, 0,
       "S123456789 O'Brien \"Jr\" 甲班 5分0秒"},
      {"very long name", [](RunArgs& a) { a.StuName = std::string(20000, 'n'); }, 0,
       "S123456789 " + std::string(20000, 'n') + " 甲班 5分0秒"},
      {"non-ASCII everywhere",
       [](RunArgs& a) {
         a.ExamPlaceNo = "考場一";
         a.UserID = "學號";
         a.ClassName = "三年二班";
       },
       0, "學號 王小明 三年二班 5分0秒"},
      {"time with blanks", [](RunArgs& a) { a.UseTime = " 300 "; }, 0,
       "S123456789 王小明 甲班 5分0秒"},
      {"comma inside a name", [](RunArgs& a) { a.StuName = "Wang, Xiao"; }, 2, ""},
  };
  for (const Case& c : cases) {
    RunArgs args = args_;
    args.TestType = "1";
    c.change(args);
    ProcessResult result = folder_.Scorer(args.Join());
    EXPECT_EQ(result.exit_status, c.exit_status) << c.name << ": " << result.err;
    auto db = OpenKeyin(folder_);
    EXPECT_EQ(Dump(*db, "SELECT id, StuName, ClassName, UseTime FROM TempScore"), c.row) << c.name;
    db->Execute("DELETE FROM TempScore");
  }
}

}  // namespace
}  // namespace keyin::e2e
