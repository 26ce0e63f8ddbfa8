// The maintenance commands through keyin-tool, against databases installed by init-db.
#include <gtest/gtest.h>

#include "db_helpers.h"

namespace keyin::e2e {
namespace {

DbValue Text(const std::string& text) { return Utf8ToUtf16(text); }

class MaintenanceTest : public ::testing::Test {
 protected:
  // The fourteen fields: the run parameters without TestType and ClassName.
  std::string CommandLine() const {
    const RunArgs& a = args_;
    return a.ExamPlaceNo + "," + a.ExamNo + "," + a.ExamPaperNo + "," + a.Field3 + "," + a.UserID +
           "," + a.StuName + "," + a.SessionNo + "," + a.SeatNo + "," + a.TestPart + "," +
           a.TotTime + "," + a.UseTime + "," + a.SubtractScore + "," + a.LibPath + "," + a.ScrPath;
  }
  ProcessResult Command(const std::string& command, const std::string& command_line) const {
    auto environment = folder_.Environment();
    environment["ASAN_OPTIONS"] = "verify_asan_link_order=0";  // faketime preloads ahead of it
    return RunProgram(
        "faketime",
        {"-f", "2024-03-05 09:07:02", KEYIN_TOOL, "maintenance", "--run", command_line, command},
        environment);
  }
  void AddExamRow(const std::string& exam, const std::string& user) const {
    OpenAnswers(folder_)->Execute(
        "INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID) VALUES ('A01', ?, ?)",
        {Text(exam), Text(user)});
  }
  std::size_t ExamRows(const std::string& exam, const std::string& user) const {
    return OpenAnswers(folder_)
        ->Query("SELECT * FROM Keyin WHERE ExamNo = ? AND UserID = ?", {Text(exam), Text(user)})
        .Count();
  }

  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

// The rows of the command line's test-taker give way to one sample row; values are bound, so a
// quote is data; pieces beyond the fourteenth are ignored.
TEST_F(MaintenanceTest, SampleExamRowReplacesTheRowsOfTheTestTaker) {
  args_.ExamNo = "E'01";
  for (const char* user : {"S123456789", "S123456789", "B000000000"}) AddExamRow("E'01", user);
  AddExamRow("E02", "S123456789");
  ProcessResult result = Command("sample-exam-row", CommandLine() + ",extra,pieces");
  ASSERT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(ExamRows("E'01", "S123456789"), 0u);
  EXPECT_EQ(ExamRows("E'01", "B000000000") + ExamRows("E02", "S123456789"), 2u);
  DbRows sample = OpenAnswers(folder_)->Query(
      "SELECT ExamPlaceNo, ExamPaperNo, Score1, Err1, Score2, Err2, Score, Err, ExamDate "
      "FROM Keyin WHERE ExamNo = 'E''01' AND UserID = 'A123456789'");
  ASSERT_EQ(sample.Count(), 1u);
  std::string shown;
  for (const DbValue& value : sample.First().Values()) shown += Shown(value) + " ";
  EXPECT_EQ(shown, "A01 P001 24 6.1 42 5.2 42 5.2 2024/03/05 09:07:02 ");
}

// The delete and the insert run in one transaction: a refused insert keeps the old rows.
TEST_F(MaintenanceTest, SampleExamRowThatFailsKeepsTheRows) {
  AddExamRow("E01", "S123456789");
  OpenAnswers(folder_)->Execute(
      "CREATE TRIGGER refuse BEFORE INSERT ON Keyin BEGIN SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_EQ(Command("sample-exam-row", CommandLine()).exit_status, 1);
  EXPECT_EQ(ExamRows("E01", "S123456789"), 1u);
}

TEST_F(MaintenanceTest, RemoveMockRowsRemovesOnlyTodaysRowsOfTheTestTaker) {
  args_.UserID = "S1";
  OpenKeyin(folder_)->Execute(
      "INSERT INTO TestScore_Student(Id, TestNum, Tno, TestDay) VALUES "
      "('S1', '315', 'P001', '2024/03/05 08:00:00'), ('S1', '315', 'P001', '2024/03/05 23:59:59'), "
      "('S1', '315', 'P001', '2024/03/04 09:00:00'), ('S1', '316', 'P001', '2024/03/05 08:00:00'), "
      "('S1', '315', 'P002', '2024/03/05 08:00:00'), ('S2', '315', 'P001', '2024/03/05 08:00:00')");
  ProcessResult result = Command("remove-mock-rows", CommandLine());
  ASSERT_EQ(result.exit_status, 0) << result.err;
  // Today's two rows go; yesterday's, another seat's, paper's and test-taker's stay.
  const DbRows kept = OpenKeyin(folder_)->Query(
      "SELECT group_concat(k, ' ') AS k FROM (SELECT Id || TestNum || Tno || substr(TestDay, 9, 2) "
      "AS k FROM TestScore_Student ORDER BY k)");
  EXPECT_EQ(Shown(kept.First()["k"]), "S1315P00104 S1315P00205 S1316P00105 S2315P00105");
}

// set-use-time only prints; a bad command line is refused by every command. Nothing is written.
TEST_F(MaintenanceTest, SetUseTimeAndRefusedCommandLinesWriteNothing) {
  AddExamRow("E01", "S123456789");
  EXPECT_EQ(Command("set-use-time", CommandLine()).out, "UseTime=54\n");
  const std::string full = CommandLine();
  std::vector<std::string> lines = {"", full.substr(0, full.rfind(','))};  // 0 and 13 pieces
  for (const char* piece : {"half", ""}) {
    args_.SubtractScore = piece;
    lines.push_back(CommandLine());
  }
  for (const std::string& line : lines) {
    for (const char* command : {"sample-exam-row", "remove-mock-rows", "set-use-time"}) {
      ProcessResult result = Command(command, line);
      EXPECT_EQ(result.exit_status, 2) << command << " " << line;
      EXPECT_EQ(result.err.rfind("keyin-tool: ", 0), 0u) << result.err;
      EXPECT_EQ(result.out, "");
    }
  }
  EXPECT_EQ(ExamRows("E01", "S123456789"), 1u);
  EXPECT_EQ(ExamRows("E01", "A123456789"), 0u);
}

}  // namespace
}  // namespace keyin::e2e
