// The result rows of exam, mock-test, offline-exam and practice runs, read back through the
// database layer, and the CSCR score file.
#include <gtest/gtest.h>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kTime[] = "2024-03-05 09:07:00";
constexpr char kLater[] = "2024-03-05 09:30:40";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Table {
  const char* name;
  const char* TestType;
  bool in_answers;  // the exam table, which also writes no CSCR file
  const char* review;
  const char* review_err;
  std::size_t rows_after_first_part_twice;
};

const Table kTables[] = {{"Keyin", "5", true, "Score", "Err", 1},
                         {"TestScore_Student", "3", false, "Score", "Err", 2},
                         {"OfflineScore", "4", false, "Score3", "Err3", 1}};

// "column=value " for each column, in order.
std::string Columns(const DbRow& row, std::initializer_list<const char*> columns) {
  std::string shown;
  for (const char* column : columns) shown += std::string(column) + "=" + Shown(row[column]) + " ";
  return shown;
}

class Storage : public testing::Test {
 protected:
  Storage() {
    folder.InstallSamplePaper();
    args.UseTime = "60";
  }
  ProcessResult Score(const char* TestType, const char* part, const char* time,
                      const std::map<std::string, std::optional<std::string>>& extra = {}) {
    args.TestType = TestType;
    args.TestPart = part;
    return folder.Scorer(args.Join(), time, extra);
  }
  DbRows Rows(const Table& table) const {
    return ReadTable(*(table.in_answers ? OpenAnswers(folder) : OpenKeyin(folder)), table.name);
  }
  fs::path Cscr() const { return folder.Scores() / "CSCR0315"; }

  ProgramFolder folder;
  RunArgs args = DefaultArgs(folder);
};

// Part 1 alone, part 1 again (a new row only for mock tests), then part 2 joins the newest row
// with the review result. Keys and names holding quotes are data.
TEST_F(Storage, BothPartsOfEachTable) {
  folder.InstallSamplePaper("P002");
  args.UserID = "O'Neil";
  args.StuName = "O'Brien";
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    args.ExamPaperNo = "P001";
    fs::remove(Cscr());
    const int first_speed = TypeExactly(args, 1, 3);
    // A part other than 1 or 2 has no typed answer of its own and stores nothing.
    EXPECT_NE(Score(table.TestType, "3", kTime).exit_status, 0);
    EXPECT_EQ(Rows(table).Count(), 0u);
    ASSERT_EQ(Score(table.TestType, "1", kTime).exit_status, 0);
    DbRows rows = Rows(table);
    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(Shown(rows.First()["Score1"]), std::to_string(first_speed));
    EXPECT_EQ(Shown(rows.First()["Err1"]), "0");
    for (const char* empty : {"Score2", "Err2", table.review, table.review_err}) {
      EXPECT_EQ(Shown(rows.First()[empty]), "<null>") << empty;
    }
    const int speed1 = TypeExactly(args, 1, 2);
    ASSERT_EQ(Score(table.TestType, "1", "2024-03-05 09:20:00").exit_status, 0);
    EXPECT_FALSE(fs::exists(Cscr()));
    const int speed2 = TypeExactly(args, 2, 4);
    ASSERT_GT(speed2, speed1);  // both error-free: part 2 is the review result
    // An exam's part 2 finds the row whatever its paper (the others key on it).
    args.ExamPaperNo = table.in_answers ? "P002" : "P001";
    ProcessResult run = Score(table.TestType, "2", kLater);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    rows = Rows(table);
    ASSERT_EQ(rows.Count(), table.rows_after_first_part_twice);
    const DbRow& row = rows.All().back();
    EXPECT_EQ(Shown(row["Score1"]), std::to_string(speed1));
    EXPECT_EQ(Shown(row["Score2"]), std::to_string(speed2));
    EXPECT_EQ(Shown(row[table.review]), std::to_string(speed2));
    EXPECT_EQ(Shown(row[table.review_err]), "0");
    EXPECT_EQ(Shown(rows.First()["Score2"]), rows.Count() == 1 ? Shown(row["Score2"]) : "<null>");
    if (table.in_answers) {
      EXPECT_EQ(Shown(row["UserID"]), "O'Neil");
      EXPECT_EQ(Shown(row["ExamPaperNo"]), "P001");
      EXPECT_EQ(Shown(row["ExamDate"]), "2024/03/05 09:30:40");
      EXPECT_FALSE(fs::exists(Cscr()));
      continue;
    }
    EXPECT_EQ(ReadReport(Cscr()),
              "0315 2024/03/05 09:30:40\r\n測驗一　 = " + std::to_string(speed1) +
                  " 字/分鐘, 錯誤率 = 0％\r\n" + "測驗二　 = " + std::to_string(speed2) +
                  " 字/分鐘, 錯誤率 = 0％\r\n" + "覆核成績 = " + std::to_string(speed2) +
                  " 字/分鐘, 錯誤率 = 0％\r\n");
  }
  EXPECT_EQ(Shown(Rows(kTables[1]).First()["Stuname"]), "O'Brien");
}

// Part 2 without part 1 inserts a row of its own; the next part 2 finds that row, reads its
// empty Score1 as 0 and updates it.
TEST_F(Storage, SecondPartWithoutTheFirst) {
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    for (std::size_t lines : {3, 4}) {
      const int speed2 = TypeExactly(args, 2, lines);
      ProcessResult run = Score(table.TestType, "2", kLater);
      ASSERT_EQ(run.exit_status, 0) << run.err;
      DbRows rows = Rows(table);
      ASSERT_EQ(rows.Count(), 1u);
      EXPECT_EQ(Shown(rows.First()["Score1"]), "<null>");
      EXPECT_EQ(Shown(rows.First()["Score2"]), std::to_string(speed2));
      EXPECT_EQ(Shown(rows.First()[table.review]), std::to_string(speed2));
    }
    if (!table.in_answers) {
      EXPECT_TRUE(Contains(ReadReport(Cscr()), "測驗一　 = 0 字/分鐘, 錯誤率 = 0％\r\n"));
    }
  }
}

// The mock-test row keeps the run's texts as typed, the deduction as text.
TEST_F(Storage, MockTestRowHoldsTheRunsTextsAsTyped) {
  folder.InstallPaper("Q001", {"天地玄黃'宇宙洪荒"}, {"日月盈昃'辰宿列張"});
  args.ExamPaperNo = "Q001";
  args.SubtractScore = "0.75";
  WriteTypedAnswer(folder.Scores() / "CTEST-1", {"天地玄黃宇宙洪荒"});  // the quotes missed
  WriteTypedAnswer(folder.Scores() / "CTEST-2", {"日月盈昃辰宿列張"});
  ASSERT_EQ(Score("3", "1", kTime, {{"ComputerName", "SEAT-15"}}).exit_status, 0);
  ASSERT_EQ(Score("3", "2", kLater).exit_status, 0);
  DbRows rows = Rows(kTables[1]);
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(Columns(rows.First(), {"Id", "TestNum", "Tno", "ErWords1", "ErWords2", "Keyin",
                                   "SubtractScore", "LocalHostName", "TestDay"}),
            "Id=S123456789 TestNum=315 Tno=Q001 ErWords1='\r\n ErWords2='\r\n Keyin=CHN "
            "SubtractScore=0.75 LocalHostName=SEAT-15 TestDay=2024/03/05 09:07:00 ");
  EXPECT_TRUE(std::holds_alternative<std::u16string>(rows.First()["SubtractScore"]));
  // Part 2 on a later day joins no part 1: a row of its own.
  ASSERT_EQ(Score("3", "2", "2024-03-06 00:00:00").exit_status, 0);
  rows = Rows(kTables[1]);
  ASSERT_EQ(rows.Count(), 2u);
  EXPECT_EQ(Shown(rows.All()[1]["Score1"]), "<null>");
}

TEST_F(Storage, ExamWithoutTheAnswerDatabaseEndsWithItsMessageAfterTheReports) {
  TypeExactly(args, 1, 3);
  fs::remove(folder.AnswerDatabase());
  ProcessResult run = Score("5", "1", kTime);
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_TRUE(Contains(run.err, "找不到ANS.mdb，請聯絡監考人員")) << run.err;
  EXPECT_TRUE(fs::exists(folder.Scores() / "CTEST-1.CHK"));  // the last report
  EXPECT_FALSE(fs::exists(folder.AnswerDatabase()));
}

TEST_F(Storage, ACscrFileThatCannotBeWrittenFailsTheRunButKeepsTheRow) {
  TypeExactly(args, 2, 3);
  fs::create_directory(Cscr());
  ProcessResult run = Score("4", "2", kTime);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_TRUE(Contains(run.err, "cannot write the CSCR score file " + Cscr().string())) << run.err;
  EXPECT_EQ(Rows(kTables[2]).Count(), 1u);
}

// A stored part 1 that is no number fails the run rather than scoring 0.
TEST_F(Storage, StoredFirstPartThatIsNoNumberFailsTheSecondPart) {
  OpenKeyin(folder)->Execute(
      "INSERT INTO OfflineScore(SessionSeatNo, Tno, Score1) VALUES('315', 'P001', '42x')");
  TypeExactly(args, 2, 3);
  EXPECT_EQ(Score("4", "2", kTime).exit_status, 1);
  EXPECT_EQ(Shown(Rows(kTables[2]).First()["Score2"]), "<null>");
}

// Rows are replaced by a delete and an insert in one transaction: a refused insert leaves the
// old row. The mechanism is shared; one result table and TempScore stand for all.
TEST_F(Storage, AFailingInsertKeepsTheOldRow) {
  const std::string refuse = " BEGIN SELECT RAISE(ABORT, 'refused'); END";
  OpenAnswers(folder)->Execute(
      "INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID, ExamPaperNo, Score1) "
      "VALUES('A01', 'E01', 'S123456789', 'P001', 7)");
  OpenAnswers(folder)->Execute("CREATE TRIGGER refuse BEFORE INSERT ON Keyin" + refuse);
  OpenKeyin(folder)->Execute(
      "INSERT INTO TempScore(id, ClassNum, tno, TotalChr) VALUES('S123456789', '15', 'P001-1', 7)");
  OpenKeyin(folder)->Execute("CREATE TRIGGER refuse BEFORE INSERT ON TempScore" + refuse);
  TypeExactly(args, 1, 3);
  EXPECT_EQ(Score("5", "1", kTime).exit_status, 1);
  ProcessResult run = Score("1", "1", kTime);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_TRUE(Contains(run.err, "系統訊息")) << run.err;
  EXPECT_EQ(OpenAnswers(folder)->Query("SELECT * FROM Keyin WHERE Score1 = 7").Count(), 1u);
  EXPECT_EQ(OpenKeyin(folder)->Query("SELECT * FROM TempScore WHERE TotalChr = 7").Count(), 1u);
}

// One row per test-taker, seat and paper part, the seat compared by its number.
TEST_F(Storage, PracticeRunKeepsOneRowPerSeat) {
  args.SeatNo = "05";
  const std::string speed = std::to_string(TypeExactly(args, 1, 3));
  ProcessResult run = Score("1", "1", kTime);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  DbRows rows = ReadTable(*OpenKeyin(folder), "TempScore");
  ASSERT_EQ(rows.Count(), 1u);
  // At deduction 0 Average holds the plain speed, not the adjusted one.
  EXPECT_EQ(Columns(rows.First(), {"id", "StuName", "ClassName", "ClassNum", "UseTime", "TotTime",
                                   "tno", "Keyin", "Topic", "SubtractScore", "TotalChr", "RightChr",
                                   "ErrChr", "ErrPercen", "Average", "TestDate"}),
            "id=S123456789 StuName=王小明 ClassName=甲班 ClassNum=05 UseTime=1分0秒 "
            "TotTime=10分00秒 tno=P001-1 Keyin=CHN Topic=文章練習（單） SubtractScore=0 TotalChr=" +
                speed + " RightChr=" + speed + " ErrChr=0 ErrPercen=0 Average=" + speed +
                " TestDate=2024/03/05 09:07:00 ");

  args.SeatNo = "5";
  const int later_speed = TypeExactly(args, 1, 2);
  ASSERT_EQ(Score("1", "1", kLater).exit_status, 0);
  rows = ReadTable(*OpenKeyin(folder), "TempScore");
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(Columns(rows.First(), {"ClassNum", "TotalChr"}),
            "ClassNum=5 TotalChr=" + std::to_string(later_speed) + " ");
  args.SeatNo = "6";  // another seat: a row beside it
  ASSERT_EQ(Score("1", "1", kLater).exit_status, 0);
  args.UserID = args.StuName = "";  // nobody named: no row
  ASSERT_EQ(Score("1", "1", kLater).exit_status, 0);
  EXPECT_EQ(ReadTable(*OpenKeyin(folder), "TempScore").Count(), 2u);
}

}  // namespace
}  // namespace keyin::e2e
