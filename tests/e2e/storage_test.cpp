// The result rows of exam, mock-test, offline-exam and practice runs, read back through the
// database layer, and the CSCR score file.
#include <gtest/gtest.h>

#include "db_helpers.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;
using std::to_string;

constexpr char kTime[] = "2024-03-05 09:07:00", kLater[] = "2024-03-05 09:30:40";

// TestType 5 (the exam) writes to the answer database and no CSCR file. Rows are read in an
// order that both stores give alike (the files' insertion order is no column of the server).
struct Table {
  const char *name, *TestType, *scores, *order;  // scores: both parts and the review result
};
const Table kTables[] = {
    {"Keyin", "5", "Score1, Err1, Score2, Err2, Score, Err", "ExamDate"},
    {"TestScore_Student", "3", "Score1, Err1, Score2, Err2, Score, Err", "TestDay"},
    {"OfflineScore", "4", "Score1, Err1, Score2, Err2, Score3, Err3", "SessionSeatNo, Tno"}};
const Table kPractice = {"TempScore", "1", "", "ClassNum, TestDate"};

class Storage : public testing::Test {
 protected:
  Storage() {
    folder.InstallSamplePaper();
    args.UseTime = "60";
  }
  int Score(const char* TestType, const char* part, const char* time = kTime) {
    args.TestType = TestType;
    args.TestPart = part;
    ProcessResult run = folder.Scorer(args.Join(), time, environment);
    err = run.err;
    return run.exit_status;
  }
  std::unique_ptr<DbConnection> Open(const Table& table) const {
    return (table.TestType[0] == '5' ? OpenAnswers : OpenKeyin)(folder);
  }
  // The columns of the table's rows in the table's order.
  std::string Rows(const Table& table, const std::string& columns) const {
    return Dump(*Open(table),
                "SELECT " + columns + " FROM " + table.name + " ORDER BY " + table.order);
  }
  std::string Scores(const Table& table) const { return Rows(table, table.scores); }
  fs::path Cscr() const { return folder.Scores() / "CSCR0315"; }

  ProgramFolder folder;
  RunArgs args = DefaultArgs(folder);
  std::map<std::string, std::optional<std::string>> environment;
  std::string err;
};

// Part 1 alone, part 1 again (a new row only for mock tests), then part 2 joins the newest row
// with the review result (part 2's, the better one). Keys and names holding quotes are data.
TEST_F(Storage, BothPartsOfEachTable) {
  folder.InstallSamplePaper("P002");
  args.UserID = "O'Neil";
  args.StuName = "O'Brien";
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    const bool exam = table.TestType[0] == '5';
    args.ExamPaperNo = "P001";
    fs::remove(Cscr());
    const std::string first = to_string(TypeExactly(args, 1, 3)) + " 0 <null> <null> <null> <null>";
    EXPECT_NE(Score(table.TestType, "3"), 0);  // a part with no typed answer stores nothing
    EXPECT_EQ(Scores(table), "");
    ASSERT_EQ(Score(table.TestType, "1"), 0) << err;
    EXPECT_EQ(Scores(table), first);
    const std::string speed1 = to_string(TypeExactly(args, 1, 2));
    ASSERT_EQ(Score(table.TestType, "1", "2024-03-05 09:20:00"), 0);
    EXPECT_FALSE(fs::exists(Cscr()));
    const std::string speed2 = to_string(TypeExactly(args, 2, 4));
    args.ExamPaperNo = exam ? "P002" : "P001";  // an exam's part 2 finds the row of any paper
    ASSERT_EQ(Score(table.TestType, "2", kLater), 0) << err;
    const std::string both = speed1 + " 0 " + speed2 + " 0 " + speed2 + " 0";
    EXPECT_EQ(Scores(table), table.TestType[0] == '3' ? first + "; " + both : both);
    if (exam) {
      EXPECT_EQ(Rows(table, "UserID, ExamPaperNo, ExamDate"), "O'Neil P001 2024/03/05 09:30:40");
      EXPECT_FALSE(fs::exists(Cscr()));
      continue;
    }
    EXPECT_EQ(ReadReport(Cscr()), "0315 2024/03/05 09:30:40\r\n測驗一　 = " + speed1 +
                                      " 字/分鐘, 錯誤率 = 0％\r\n測驗二　 = " + speed2 +
                                      " 字/分鐘, 錯誤率 = 0％\r\n覆核成績 = " + speed2 +
                                      " 字/分鐘, 錯誤率 = 0％\r\n");
  }
  EXPECT_EQ(Rows(kTables[1], "Stuname"), "O'Brien; O'Brien");
}

// Part 2 without part 1 inserts a row of its own; the next part 2 finds that row, reads its
// empty Score1 as 0 and updates it.
TEST_F(Storage, SecondPartWithoutTheFirst) {
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    for (std::size_t lines : {3, 4}) {
      const std::string speed2 = to_string(TypeExactly(args, 2, lines));
      ASSERT_EQ(Score(table.TestType, "2", kLater), 0) << err;
      EXPECT_EQ(Scores(table), "<null> <null> " + speed2 + " 0 " + speed2 + " 0");
    }
    if (table.TestType[0] != '5') {
      EXPECT_TRUE(Contains(ReadReport(Cscr()), "測驗一　 = 0 字/分鐘, 錯誤率 = 0％\r\n"));
    }
  }
}

// The mock-test row keeps the run's texts as typed, the deduction as text. Part 2 on a later day
// joins no part 1: a row of its own.
TEST_F(Storage, MockTestRowHoldsTheRunsTextsAsTyped) {
  folder.InstallPaper("Q001", {"天地玄黃'宇宙洪荒"}, {"日月盈昃'辰宿列張"});
  args.ExamPaperNo = "Q001";
  args.SubtractScore = "0.75";
  WriteTypedAnswer(folder.Scores() / "CTEST-1", {"天地玄黃宇宙洪荒"});  // the quotes missed
  WriteTypedAnswer(folder.Scores() / "CTEST-2", {"日月盈昃辰宿列張"});
  environment["ComputerName"] = "SEAT-15";
  ASSERT_EQ(Score("3", "1"), 0);
  ASSERT_EQ(Score("3", "2", kLater), 0);
  EXPECT_EQ(Rows(kTables[1],
                 "Id, TestNum, Tno, ErWords1, ErWords2, Keyin, SubtractScore, LocalHostName, "
                 "TestDay"),
            "S123456789 315 Q001 '\r\n '\r\n CHN 0.75 SEAT-15 2024/03/05 09:07:00");
  const DbRows rows = Open(kTables[1])->Query("SELECT SubtractScore FROM TestScore_Student");
  EXPECT_TRUE(std::holds_alternative<std::u16string>(rows.First()["SubtractScore"]));
  ASSERT_EQ(Score("3", "2", "2024-03-06 00:00:00"), 0);
  EXPECT_EQ(Rows(kTables[1], "Score1 IS NULL"), "0; 1");
}

// Faults fail the run after what could be done, keeping the stored rows: a stored part 1 that is
// no number (rather than scoring 0; the server's NUMERIC columns hold no such thing), a CSCR
// file that cannot be written, a refused insert (rows are replaced by a delete and an insert in
// one transaction), a missing answer database file.
TEST_F(Storage, FaultsFailTheRunAndKeepTheRows) {
  const std::string speed2 = to_string(TypeExactly(args, 2, 3));
  if (!folder.OnServer()) {
    OpenKeyin(folder)->Execute(
        "INSERT INTO OfflineScore(SessionSeatNo, Tno, Score1) VALUES('315', 'P001', '42x')");
    EXPECT_EQ(Score("4", "2"), 1);
    EXPECT_EQ(Rows(kTables[2], "Score1, Score2"), "42x <null>");
  }
  // The row and the run's id are committed before the CSCR file is written: the run fails, its
  // result stays stored, and a rerun under its id stores nothing more.
  fs::create_directory(Cscr());
  environment["KEYIN_RUN_ID"] = "cscr-lost";
  EXPECT_EQ(Score("3", "2"), 1);
  EXPECT_TRUE(Contains(err, "cannot write the CSCR score file " + Cscr().string())) << err;
  EXPECT_EQ(Rows(kTables[1], "Score2"), speed2);
  EXPECT_EQ(Dump(*OpenKeyin(folder), "SELECT RunId FROM FinishedRuns"), "cscr-lost");
  fs::remove(Cscr());
  EXPECT_EQ(Score("3", "2"), 1);
  EXPECT_TRUE(Contains(err, "run id \"cscr-lost\" was stored already")) << err;
  EXPECT_EQ(Rows(kTables[1], "Score2"), speed2);
  EXPECT_FALSE(fs::exists(Cscr()));
  environment.erase("KEYIN_RUN_ID");
  for (const auto& [db, table, insert] :
       {std::tuple(OpenAnswers(folder), "Keyin",
                   "(ExamPlaceNo, ExamNo, UserID, ExamPaperNo, Score1) "
                   "VALUES('A01', 'E01', 'S123456789', 'P001', 7)"),
        std::tuple(OpenKeyin(folder), "TempScore",
                   "(id, ClassNum, tno, TotalChr) VALUES('S123456789', '15', 'P001-1', 7)")}) {
    db->Execute(std::string("INSERT INTO ") + table + insert);
    RefuseInserts(folder, *db, table);
  }
  TypeExactly(args, 1, 3);
  EXPECT_EQ(Score("5", "1"), 1);
  EXPECT_EQ(Score("1", "1"), 1);
  EXPECT_TRUE(Contains(err, "系統訊息")) << err;
  EXPECT_EQ(Rows(kTables[0], "Score1") + " " + Rows(kPractice, "TotalChr"), "7 7");
  if (folder.OnServer()) return;  // an unavailable server: server_test.cpp
  fs::remove(folder.AnswerDatabase());
  EXPECT_EQ(Score("5", "1"), 3);
  EXPECT_TRUE(Contains(err, "找不到ANS.mdb，請聯絡監考人員")) << err;
  EXPECT_TRUE(fs::exists(folder.Scores() / "CTEST-1.CHK"));  // the last report
  EXPECT_FALSE(fs::exists(folder.AnswerDatabase()));
}

// TestType is read as a number everywhere (every way of writing one: run_kind_test.cpp): an exam
// stores the exam row, a mock test the mock-test row. Kind 7 keeps its result in its
// reports only, as kind 0 does; a number of no kind fails once the reports are written, so that
// no front end takes its result as stored.
TEST_F(Storage, EveryWritingOfAKindStoresWhereThatKindStores) {
  struct Case {
    const char* name;
    const char* TestType;
    int exit_status;
    const char* stored;  // rows per table: Keyin, TestScore_Student, OfflineScore, TempScore
  };
  const Case cases[] = {
      {"exam with a leading blank", " 5", 0, "1 0 0 0"},
      {"exam as a decimal", "5.0", 0, "1 0 0 0"},
      {"mock test with a leading zero", "03", 0, "0 1 0 0"},
      {"keyin record test keeps its reports only", "7", 0, "0 0 0 0"},
      {"six is no kind", "6", 1, "0 0 0 0"},
  };
  TypeExactly(args, 1, 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(folder.Scores() / "CTEST-1.TOT");
    EXPECT_EQ(Score(c.TestType, "1"), c.exit_status) << err;
    EXPECT_TRUE(Contains(ReadReport(folder.Scores() / "CTEST-1.TOT"), "CTEST-1 S="));
    if (c.exit_status != 0) {
      EXPECT_TRUE(Contains(
          err, std::string("keyin-scorer: TestType \"") + c.TestType + "\" is no kind of run"))
          << err;
    }
    std::string counts;
    for (const Table& table : {kTables[0], kTables[1], kTables[2], kPractice}) {
      const std::unique_ptr<DbConnection> db = Open(table);
      counts += (counts.empty() ? "" : " ") +
                Dump(*db, std::string("SELECT count(*) FROM ") + table.name);
      db->Execute(std::string("DELETE FROM ") + table.name);
    }
    EXPECT_EQ(counts, c.stored);
  }
}

// Each table that a run searches has an index on the keys it searches by, so that a lookup reads
// one candidate's rows while the writers wait: init-db creates them, and a run adds the index of
// its table to a database made before there were any. The rows found are the same (the other
// tests of this file).
TEST_F(Storage, LookupIndexesAreInstalledAndAddedWhenMissing) {
  const std::pair<const Table*, const char*> indexes[] = {{&kTables[0], "Keyin_Lookup"},
                                                          {&kTables[1], "TestScore_Student_Lookup"},
                                                          {&kTables[2], "OfflineScore_Lookup"},
                                                          {&kPractice, "TempScore_Lookup"}};
  for (const auto& [table, index] : indexes) {
    const std::unique_ptr<DbConnection> db = Open(*table);
    EXPECT_TRUE(db->HasIndex(index)) << index << " after init-db";
    db->Execute(std::string("DROP INDEX ") + index);
  }
  TypeExactly(args, 1, 3);
  TypeExactly(args, 2, 3);
  for (const auto& [table, index] : indexes) {
    ASSERT_EQ(Score(table->TestType, table == &kTables[1] ? "2" : "1"), 0) << err;
    EXPECT_TRUE(Open(*table)->HasIndex(index)) << index << " after a run";
  }
  if (folder.OnServer()) return;  // the server plans a scan of a table this small
  const DbRows plan = OpenKeyin(folder)->Query(
      "EXPLAIN QUERY PLAN SELECT * FROM TestScore_Student WHERE id=? AND TestNum=? AND Tno =? AND "
      "Format(TestDay,'yyyy/MM/dd')=? order by TestDay desc",
      {u"S123456789", u"315", u"P001", u"2024/03/05"});
  EXPECT_TRUE(Contains(Shown(plan.First()["detail"]), "USING INDEX TestScore_Student_Lookup"))
      << Shown(plan.First()["detail"]);
}

// The ids of the runs that stored, as the database that holds each kind's rows records them.
std::string FinishedRuns(const ProgramFolder& folder, bool answers) {
  return Dump(*(answers ? OpenAnswers : OpenKeyin)(folder),
              "SELECT RunId, Program, RunTime FROM FinishedRuns ORDER BY RunId");
}

// Every run that reaches its end records its id beside its row, in the database that holds the
// row: the answer database for an exam, Vorkeyin.mdb for the other kinds, those that store no row
// (0, 7, a practice naming nobody) included. A run of no kind stores nothing and records nothing.
TEST_F(Storage, EveryRunThatEndsRecordsItsIdWhereItsRowIs) {
  ASSERT_EQ(folder
                .Tool({"make-cus", std::string(KEYIN_SAMPLES) + "/paper-test1.txt",
                       (folder.Lib() / "P001.cus").string()})
                .exit_status,
            0);
  TypeExactly(args, 1, 3);
  TypeExactly(args, 2, 3);
  const struct {
    const char *id, *TestType, *part;
    int exit_status;
  } runs[] = {
      {"exam-1", "5", "1", 0},   {"exam-2", "05", "2", 0},     {"mock-1", "3", "1", 0},
      {"mock-2", "3", "2", 0},   {"offline-1", "4", "1", 0},   {"practice-1", "1", "1", 0},
      {"custom-1", "0", "1", 0}, {"record-test", "7", "1", 0}, {"no-kind", "6", "1", 1},
  };
  for (const auto& run : runs) {
    environment["KEYIN_RUN_ID"] = run.id;
    EXPECT_EQ(Score(run.TestType, run.part), run.exit_status) << run.id << ": " << err;
  }
  environment["KEYIN_RUN_ID"] = "nobody";
  args.UserID = args.StuName = "";
  EXPECT_EQ(Score("2", "1"), 0) << err;
  const std::string time = " keyin-scorer 2024/03/05 09:07:00";
  const std::string answers = "exam-1" + time + "; exam-2" + time;
  const std::string keyin = "custom-1" + time + "; mock-1" + time + "; mock-2" + time + "; nobody" +
                            time + "; offline-1" + time + "; practice-1" + time + "; record-test" +
                            time;
  if (folder.OnServer()) {
    // One database: ids from both in one table, in the order of their texts.
    EXPECT_EQ(FinishedRuns(folder, true), "custom-1" + time + "; exam-1" + time + "; exam-2" +
                                              time + "; mock-1" + time + "; mock-2" + time +
                                              "; nobody" + time + "; offline-1" + time +
                                              "; practice-1" + time + "; record-test" + time);
  } else {
    EXPECT_EQ(FinishedRuns(folder, true), answers);
    EXPECT_EQ(FinishedRuns(folder, false), keyin);
  }
}

// A database made before the table of finished runs gets it from the first run that stores
// there, on the files and on a server.
TEST_F(Storage, TheTableOfFinishedRunsIsAddedWhenMissing) {
  for (const bool answers : {true, false}) {
    const std::unique_ptr<DbConnection> db = (answers ? OpenAnswers : OpenKeyin)(folder);
    if (!db->HasIndex("FinishedRuns_RunId")) continue;  // one database on a server
    db->Execute("DROP TABLE FinishedRuns");
  }
  TypeExactly(args, 1, 3);
  for (const Table& table : {kTables[0], kTables[1]}) {
    environment["KEYIN_RUN_ID"] = std::string("made-before-") + table.name;
    ASSERT_EQ(Score(table.TestType, "1"), 0) << err;
    EXPECT_TRUE(Contains(FinishedRuns(folder, table.TestType[0] == '5'),
                         std::string("made-before-") + table.name));
  }
}

// One row per test-taker, seat and paper part, the seat compared by its number. At deduction 0
// Average holds the plain speed, not the adjusted one.
TEST_F(Storage, PracticeRunKeepsOneRowPerSeat) {
  args.SeatNo = "05";
  const std::string speed = to_string(TypeExactly(args, 1, 3));
  ASSERT_EQ(Score("1", "1"), 0) << err;
  EXPECT_EQ(Rows(kPractice,
                 "id, StuName, ClassName, ClassNum, UseTime, TotTime, tno, Keyin, "
                 "Topic, SubtractScore, TotalChr, RightChr, ErrChr, ErrPercen, Average, "
                 "TestDate"),
            "S123456789 王小明 甲班 05 1分0秒 10分00秒 P001-1 CHN 文章練習（單） 0 " + speed + " " +
                speed + " 0 0 " + speed + " 2024/03/05 09:07:00");
  args.SeatNo = "5";
  const std::string later = to_string(TypeExactly(args, 1, 2));
  ASSERT_EQ(Score("1", "1", kLater), 0);
  args.SeatNo = "6";  // another seat: a row beside it
  ASSERT_EQ(Score("1", "1", kLater), 0);
  args.UserID = args.StuName = "";  // nobody named: no row
  ASSERT_EQ(Score("1", "1", kLater), 0);
  EXPECT_EQ(Rows(kPractice, "ClassNum, TotalChr"), "5 " + later + "; 6 " + later);
}

}  // namespace
}  // namespace keyin::e2e
