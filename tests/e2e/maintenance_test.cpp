// The maintenance commands through keyin-tool, against databases installed by init-db.
#include <gtest/gtest.h>

#include "db_helpers.h"

namespace keyin::e2e {
namespace {

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
  std::string Answers(const std::string& sql) const { return Dump(*OpenAnswers(folder_), sql); }

  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

// The rows without a date first, in the same order on both stores.
constexpr char kInOrder[] =
    "SELECT ExamNo, UserID FROM Keyin ORDER BY COALESCE(ExamDate, ''), ExamNo, UserID";

// The rows of the command line's test-taker give way to one sample row, in one transaction: a
// refused insert keeps the rows. Values are bound, so a quote is data; pieces beyond the
// fourteenth are ignored.
TEST_F(MaintenanceTest, SampleExamRowReplacesTheRowsOfTheTestTaker) {
  args_.ExamNo = "E'01";
  OpenAnswers(folder_)->Execute(
      "INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID) VALUES ('A01', 'E''01', 'S123456789'), "
      "('A01', 'E''01', 'S123456789'), ('A01', 'E''01', 'B000000000'), ('A01', 'E02', "
      "'S123456789')");
  ProcessResult result = Command("sample-exam-row", CommandLine() + ",extra,pieces");
  ASSERT_EQ(result.exit_status, 0) << result.err;
  const std::string rows = "E'01 B000000000; E02 S123456789; E'01 A123456789";
  EXPECT_EQ(Answers(kInOrder), rows);
  EXPECT_EQ(Answers("SELECT ExamPlaceNo, ExamPaperNo, Score1, Err1, Score2, Err2, Score, Err, "
                    "ExamDate FROM Keyin WHERE UserID = 'A123456789'"),
            "A01 P001 24 6.1 42 5.2 42 5.2 2024/03/05 09:07:02");
  RefuseInserts(folder_, *OpenAnswers(folder_), "Keyin");
  args_.ExamNo = "E02";
  EXPECT_EQ(Command("sample-exam-row", CommandLine()).exit_status, 1);
  EXPECT_EQ(Answers(kInOrder), rows);
}

// A command line of 0 or 13 pieces is refused by every command and writes nothing; set-use-time
// only prints. remove-mock-rows removes today's rows of the test-taker; yesterday's, another
// seat's, paper's and test-taker's stay.
TEST_F(MaintenanceTest, RefusedCommandLinesThenRemoveMockRows) {
  args_.UserID = "S1";
  OpenAnswers(folder_)->Execute(
      "INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID) VALUES ('A01', 'E01', 'S1')");
  OpenKeyin(folder_)->Execute(
      "INSERT INTO TestScore_Student(Id, TestNum, Tno, TestDay) VALUES "
      "('S1', '315', 'P001', '2024/03/05 08:00:00'), ('S1', '315', 'P001', '2024/03/05 23:59:59'), "
      "('S1', '315', 'P001', '2024/03/04 09:00:00'), ('S1', '316', 'P001', '2024/03/05 08:00:00'), "
      "('S1', '315', 'P002', '2024/03/05 08:00:00'), ('S2', '315', 'P001', '2024/03/05 08:00:00')");
  const std::string full = CommandLine();
  // Which command lines are refused: maintenance_form_test.cpp.
  for (const std::string& line : {std::string(), full.substr(0, full.rfind(','))}) {
    for (const char* command : {"sample-exam-row", "remove-mock-rows", "set-use-time"}) {
      ProcessResult result = Command(command, line);
      EXPECT_EQ(result.exit_status, 2) << command << " " << line;
      EXPECT_EQ(result.err.rfind("keyin-tool: ", 0), 0u) << result.err;
      EXPECT_EQ(result.out, "");
    }
  }
  EXPECT_EQ(Answers("SELECT ExamNo, UserID FROM Keyin"), "E01 S1");
  EXPECT_EQ(Command("set-use-time", full).out, "UseTime=54\n");
  ASSERT_EQ(Command("remove-mock-rows", full).exit_status, 0);
  EXPECT_EQ(Dump(*OpenKeyin(folder_),
                 "SELECT Id || TestNum || Tno || substr(TestDay, 9, 2) AS k "
                 "FROM TestScore_Student ORDER BY k"),
            "S1315P00104; S1315P00205; S1316P00105; S2315P00105");
}

// A command whose database is missing shows the opener's message and ends with status 3.
TEST_F(MaintenanceTest, MissingDatabaseShowsItsMessage) {
  if (folder_.OnServer()) return;  // an unavailable server: server_test.cpp
  std::filesystem::remove(folder_.AnswerDatabase());
  ProcessResult exam = Command("sample-exam-row", CommandLine());
  EXPECT_EQ(exam.exit_status, 3);
  EXPECT_TRUE(Contains(exam.err, "找不到ANS.mdb，請聯絡監考人員")) << exam.err;
  std::filesystem::remove(folder_.KeyinDatabase());
  ProcessResult mock = Command("remove-mock-rows", CommandLine());
  EXPECT_EQ(mock.exit_status, 3);
  EXPECT_TRUE(Contains(mock.err, "Vorkeyin.mdb找不到或已損毀")) << mock.err;
}

}  // namespace
}  // namespace keyin::e2e
