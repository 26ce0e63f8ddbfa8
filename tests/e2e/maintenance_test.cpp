// The maintenance commands through keyin-tool, against databases installed by init-db.
#include <gtest/gtest.h>

#include <cstdlib>

#include "harness.h"
#include "platform/code_page.h"
#include "platform/database.h"

namespace keyin::e2e {
namespace {

constexpr char kTime[] = "2024-03-05 09:07:02";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

DbValue Text(const char* text) { return Utf8ToUtf16(text); }

class MaintenanceTest : public ::testing::Test {
 protected:
  // The fourteen fields: the run parameters without TestType and ClassName.
  std::string CommandLine() const {
    return args_.ExamPlaceNo + "," + args_.ExamNo + "," + args_.ExamPaperNo + "," + args_.Field3 +
           "," + args_.UserID + "," + args_.StuName + "," + args_.SessionNo + "," + args_.SeatNo +
           "," + args_.TestPart + "," + args_.TotTime + "," + args_.UseTime + "," +
           args_.SubtractScore + "," + args_.LibPath + "," + args_.ScrPath;
  }
  ProcessResult Command(const std::string& command, const std::string& command_line) const {
    auto environment = folder_.Environment();
    // faketime preloads its library ahead of a sanitizer runtime; let such a build run anyway.
    const char* asan_options = std::getenv("ASAN_OPTIONS");
    environment["ASAN_OPTIONS"] =
        std::string(asan_options != nullptr ? asan_options : "") + ":verify_asan_link_order=0";
    return RunProgram("faketime",
                      {kTime, KEYIN_TOOL, "maintenance", "--run", command_line, command},
                      environment);
  }
  std::unique_ptr<DbConnection> Answers() const {
    return OpenDatabase(folder_.AnswerDatabase().string(), "5820");
  }
  std::unique_ptr<DbConnection> Keyin() const {
    return OpenDatabase(folder_.KeyinDatabase().string(), "K4T7W2");
  }
  void AddExamRow(const char* place, const char* exam, const char* user) const {
    Answers()->Execute("INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID, Score) VALUES (?, ?, ?, 1)",
                       {Text(place), Text(exam), Text(user)});
  }
  std::size_t ExamRows(const char* place, const char* exam, const char* user) const {
    return Answers()
        ->Query("SELECT * FROM Keyin WHERE ExamPlaceNo = ? AND ExamNo = ? AND UserID = ?",
                {Text(place), Text(exam), Text(user)})
        .Count();
  }
  void AddMockRow(const char* id, const char* test_num, const char* tno, const char* day) const {
    Keyin()->Execute("INSERT INTO TestScore_Student(Id, TestNum, Tno, TestDay) VALUES (?, ?, ?, ?)",
                     {Text(id), Text(test_num), Text(tno), Text(day)});
  }
  std::size_t MockRows() const { return Keyin()->Query("SELECT * FROM TestScore_Student").Count(); }

  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

TEST_F(MaintenanceTest, SampleExamRowReplacesTheRowsOfTheCommandLinesTestTaker) {
  AddExamRow("A01", "E01", "S123456789");
  AddExamRow("A01", "E01", "S123456789");
  AddExamRow("A01", "E01", "B000000000");
  AddExamRow("A01", "E02", "S123456789");

  ProcessResult result = Command("sample-exam-row", CommandLine());
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(ExamRows("A01", "E01", "S123456789"), 0u);
  EXPECT_EQ(ExamRows("A01", "E01", "B000000000"), 1u);
  EXPECT_EQ(ExamRows("A01", "E02", "S123456789"), 1u);

  DbRows sample = Answers()->Query(
      "SELECT ExamPaperNo, Score1, Err1, Score2, Err2, Score, Err, ExamDate FROM Keyin "
      "WHERE ExamPlaceNo = 'A01' AND ExamNo = 'E01' AND UserID = 'A123456789'");
  ASSERT_EQ(sample.Count(), 1u);
  const DbRow& row = sample.First();
  EXPECT_EQ(row["ExamPaperNo"], Text("P001"));
  const std::pair<const char*, double> numbers[] = {{"Score1", 24}, {"Err1", 6.1}, {"Score2", 42},
                                                    {"Err2", 5.2},  {"Score", 42}, {"Err", 5.2}};
  for (const auto& [column, value] : numbers) EXPECT_EQ(row[column], DbValue(value)) << column;
  EXPECT_EQ(row["ExamDate"], Text("2024/03/05 09:07:02"));
}

TEST_F(MaintenanceTest, SampleExamRowBindsValuesSoQuotesAreData) {
  args_.UserID = "A123456789";
  args_.ExamNo = "E'01";
  for (int i = 0; i < 2; ++i) {
    ProcessResult result = Command("sample-exam-row", CommandLine());
    ASSERT_EQ(result.exit_status, 0) << result.err;
  }
  // The second click removed the sample of the first: the command line names its test-taker.
  EXPECT_EQ(ExamRows("A01", "E'01", "A123456789"), 1u);
}

TEST_F(MaintenanceTest, RemoveMockRowsRemovesOnlyTodaysRowsOfTheTestTaker) {
  args_.UserID = "S1";
  AddMockRow("S1", "315", "P001", "2024/03/05 08:00:00");
  AddMockRow("S1", "315", "P001", "2024/03/05 23:59:59");
  AddMockRow("S1", "315", "P001", "2024/03/04 09:00:00");  // yesterday
  AddMockRow("S1", "316", "P001", "2024/03/05 08:00:00");  // another seat
  AddMockRow("S1", "315", "P002", "2024/03/05 08:00:00");  // another paper
  AddMockRow("S2", "315", "P001", "2024/03/05 08:00:00");  // another test-taker

  ProcessResult result = Command("remove-mock-rows", CommandLine());
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(MockRows(), 4u);
  EXPECT_EQ(Keyin()
                ->Query("SELECT * FROM TestScore_Student WHERE Id = 'S1' AND TestNum = '315' AND "
                        "Tno = 'P001' AND TestDay LIKE '2024/03/05%'")
                .Count(),
            0u);
}

TEST_F(MaintenanceTest, SetUseTimePrintsTheValueAndWritesNothing) {
  AddExamRow("A01", "E01", "S123456789");
  ProcessResult result = Command("set-use-time", CommandLine());
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(result.out, "UseTime=54\n");
  EXPECT_EQ(ExamRows("A01", "E01", "S123456789"), 1u);
}

TEST_F(MaintenanceTest, RefusesAShortCommandLineOrAFieldElevenThatIsNoNumber) {
  AddExamRow("A01", "E01", "S123456789");
  const std::string full = CommandLine();
  const std::string short_line = full.substr(0, full.rfind(','));  // thirteen fields
  args_.SubtractScore = "half";
  const std::string not_a_number = CommandLine();
  for (const std::string& line : {short_line, not_a_number, std::string()}) {
    for (const char* command : {"sample-exam-row", "remove-mock-rows", "set-use-time"}) {
      ProcessResult result = Command(command, line);
      EXPECT_EQ(result.exit_status, 2) << command << " " << line;
      EXPECT_TRUE(Contains(result.err, "keyin-tool: ")) << result.err;
      EXPECT_EQ(result.out, "");
    }
  }
  EXPECT_EQ(ExamRows("A01", "E01", "S123456789"), 1u);
  EXPECT_EQ(ExamRows("A01", "E01", "A123456789"), 0u);
}

TEST(Maintenance, MissingAnswerDatabaseShowsTheOpenersMessage) {
  ProgramFolder folder(false);
  ProcessResult result =
      folder.Tool({"maintenance", "--run", "A01,E01,P001,,S1,name,3,15,1,600,300,0,lib/,scores/",
                   "sample-exam-row"});
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_TRUE(Contains(result.err, "找不到ANS.mdb，請聯絡監考人員")) << result.err;
}

}  // namespace
}  // namespace keyin::e2e
