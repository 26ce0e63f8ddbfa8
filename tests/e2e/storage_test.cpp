// The storage phase as a front end sees it: the result rows of exam, mock-test, offline-exam and
// practice runs, read back through the database layer, and the CSCR score file.
#include <gtest/gtest.h>

#include "db_helpers.h"
#include "harness.h"

namespace keyin::e2e {
namespace {

constexpr char kPart1Time[] = "2024-03-05 09:07:00";
constexpr char kPart2Time[] = "2024-03-05 09:30:40";

struct Table {
  const char* name;
  const char* TestType;
  bool in_answer_database;
  const char* review_score;
  const char* review_err;
  std::size_t rows_after_first_part_twice;
  bool writes_cscr;
};

const Table kTables[] = {
    {"Keyin", "5", true, "Score", "Err", 1, false},
    {"TestScore_Student", "3", false, "Score", "Err", 2, true},
    {"OfflineScore", "4", false, "Score3", "Err3", 1, true},
};

class Storage : public testing::Test {
 protected:
  Storage() : args(DefaultArgs(folder)) {
    folder.InstallSamplePaper();
    args.UseTime = "60";
  }

  ProcessResult Score(const Table& table, const char* part, const char* time = kPart1Time,
                      const std::map<std::string, std::optional<std::string>>& extra = {}) {
    args.TestType = table.TestType;
    args.TestPart = part;
    return folder.Scorer(args.Join(), time, extra);
  }

  DbRows Rows(const Table& table) const {
    auto db = table.in_answer_database ? OpenAnswers(folder) : OpenKeyin(folder);
    return ReadTable(*db, table.name);
  }

  std::filesystem::path Cscr() const { return folder.Scores() / "CSCR0315"; }

  ProgramFolder folder;
  RunArgs args;
};

TEST_F(Storage, FirstPartAloneFillsOnlyTheFirstPartsColumns) {
  const int speed = TypeExactly(args, 1, 3);
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    ProcessResult run = Score(table, "1");
    ASSERT_EQ(run.exit_status, 0) << run.err;
    DbRows rows = Rows(table);
    ASSERT_EQ(rows.Count(), 1u);
    const DbRow& row = rows.First();
    EXPECT_EQ(Shown(row["Score1"]), std::to_string(speed));
    EXPECT_EQ(Shown(row["Err1"]), "0");
    for (const char* empty : {"Score2", "Err2", table.review_score, table.review_err}) {
      EXPECT_EQ(Shown(row[empty]), "<null>") << empty;
    }
    EXPECT_FALSE(std::filesystem::exists(Cscr()));
  }
}

TEST_F(Storage, SecondPartJoinsTheFirstWithTheReviewAndWritesTheCscrFile) {
  const int speed1 = TypeExactly(args, 1, 2);
  const int speed2 = TypeExactly(args, 2, 4);
  ASSERT_GT(speed2, speed1);  // both error-free: the faster part 2 is the review result
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    std::filesystem::remove(Cscr());
    ASSERT_EQ(Score(table, "1").exit_status, 0);
    ProcessResult run = Score(table, "2", kPart2Time);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    DbRows rows = Rows(table);
    ASSERT_EQ(rows.Count(), 1u);
    const DbRow& row = rows.First();
    EXPECT_EQ(Shown(row["Score1"]), std::to_string(speed1));
    EXPECT_EQ(Shown(row["Score2"]), std::to_string(speed2));
    EXPECT_EQ(Shown(row["Err2"]), "0");
    EXPECT_EQ(Shown(row[table.review_score]), std::to_string(speed2));
    EXPECT_EQ(Shown(row[table.review_err]), "0");
    if (!table.writes_cscr) {
      EXPECT_FALSE(std::filesystem::exists(Cscr()));
      continue;
    }
    const std::string file = ReadReport(Cscr());
    const std::size_t first_line_end = file.find("\r\n");
    EXPECT_EQ(UpToTenSeconds(file.substr(0, first_line_end)), "0315 2024/03/05 09:30:4");
    EXPECT_EQ(file.substr(first_line_end),
              "\r\n測驗一　 = " + std::to_string(speed1) + " 字/分鐘, 錯誤率 = 0％\r\n" +
                  "測驗二　 = " + std::to_string(speed2) + " 字/分鐘, 錯誤率 = 0％\r\n" +
                  "覆核成績 = " + std::to_string(speed2) + " 字/分鐘, 錯誤率 = 0％\r\n");
  }
  // The exam row carries the time of its last write.
  EXPECT_EQ(UpToTenSeconds(Shown(Rows(kTables[0]).First()["ExamDate"])), "2024/03/05 09:30:4");
}

TEST_F(Storage, SecondPartWithoutAFirstPartInsertsARowOfItsOwn) {
  const int speed2 = TypeExactly(args, 2, 3);
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    ProcessResult run = Score(table, "2");
    ASSERT_EQ(run.exit_status, 0) << run.err;
    DbRows rows = Rows(table);
    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(Shown(rows.First()["Score1"]), "<null>");
    EXPECT_EQ(Shown(rows.First()["Score2"]), std::to_string(speed2));
    EXPECT_EQ(Shown(rows.First()[table.review_score]), std::to_string(speed2));
    if (table.writes_cscr) {
      EXPECT_NE(ReadReport(Cscr()).find("測驗一　 = 0 字/分鐘, 錯誤率 = 0％\r\n"),
                std::string::npos);
    }
  }
}

TEST_F(Storage, FirstPartTypedTwiceReplacesTheRowExceptForMockTests) {
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    TypeExactly(args, 1, 3);
    ASSERT_EQ(Score(table, "1").exit_status, 0);
    const int later_speed = TypeExactly(args, 1, 2);
    ASSERT_EQ(Score(table, "1", kPart2Time).exit_status, 0);
    DbRows rows = Rows(table);
    ASSERT_EQ(rows.Count(), table.rows_after_first_part_twice);
    EXPECT_EQ(Shown(rows.All().back()["Score1"]), std::to_string(later_speed));
  }
}

TEST_F(Storage, ATestPartOtherThanOneOrTwoStoresNothing) {
  TypeExactly(args, 1, 3);
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    // Such a part has no typed answer of its own, so the run cannot reach the storage phase.
    ProcessResult run = Score(table, "3");
    EXPECT_NE(run.exit_status, 0);
    EXPECT_EQ(Rows(table).Count(), 0u);
    EXPECT_FALSE(std::filesystem::exists(Cscr()));
  }
}

TEST_F(Storage, StoredEmptyFirstPartReadsAsZero) {
  const int speed2 = TypeExactly(args, 2, 3);
  OpenAnswers(folder)->Execute(
      "INSERT INTO Keyin(ExamPlaceNo, ExamNo, UserID, ExamPaperNo) VALUES('A01','E01',?,'P001')",
      {Utf8ToUtf16(args.UserID)});
  auto keyin = OpenKeyin(folder);
  keyin->Execute(
      "INSERT INTO TestScore_Student(Id, TestNum, Tno, TestDay) "
      "VALUES(?, '315', 'P001', '2024/03/05 08:00:00')",
      {Utf8ToUtf16(args.UserID)});
  keyin->Execute("INSERT INTO OfflineScore(SessionSeatNo, Tno) VALUES('315', 'P001')");
  keyin.reset();
  for (const Table& table : kTables) {
    SCOPED_TRACE(table.name);
    ProcessResult run = Score(table, "2");
    ASSERT_EQ(run.exit_status, 0) << run.err;
    DbRows rows = Rows(table);
    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(Shown(rows.First()["Score2"]), std::to_string(speed2));
    EXPECT_EQ(Shown(rows.First()[table.review_score]), std::to_string(speed2));
  }
}

TEST_F(Storage, ExamSecondPartUpdatesTheRowOfAnotherPaperAndKeepsItsNumber) {
  folder.InstallSamplePaper("P002");
  TypeExactly(args, 1, 2);
  const int speed2 = TypeExactly(args, 2, 3);
  args.UserID = "O'Neil";  // a key with a quote is found again
  ASSERT_EQ(Score(kTables[0], "1").exit_status, 0);
  args.ExamPaperNo = "P002";
  ProcessResult run = Score(kTables[0], "2");
  ASSERT_EQ(run.exit_status, 0) << run.err;
  DbRows rows = Rows(kTables[0]);
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(Shown(rows.First()["UserID"]), "O'Neil");
  EXPECT_EQ(Shown(rows.First()["ExamPaperNo"]), "P001");
  EXPECT_EQ(Shown(rows.First()["Score2"]), std::to_string(speed2));
  EXPECT_EQ(Shown(rows.First()["ExamPlaceNo"]), "A01");
  EXPECT_EQ(Shown(rows.First()["ExamNo"]), "E01");
}

TEST_F(Storage, MockTestRowHoldsTheRunsTextsAsTyped) {
  folder.InstallPaper("Q001", {"天地玄黃'宇宙洪荒"}, {"日月盈昃'辰宿列張"});
  args.ExamPaperNo = "Q001";
  args.StuName = "O'Brien";
  args.SubtractScore = "0.75";
  WriteTypedAnswer(folder.Scores() / "CTEST-1", {"天地玄黃宇宙洪荒"});  // the quote missed
  ProcessResult run = Score(kTables[1], "1", kPart1Time, {{"ComputerName", "SEAT-15"}});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  DbRows rows = Rows(kTables[1]);
  ASSERT_EQ(rows.Count(), 1u);
  const DbRow& row = rows.First();
  const std::pair<const char*, const char*> expected[] = {
      {"Id", "S123456789"}, {"Stuname", "O'Brien"},       {"TestNum", "315"},
      {"Tno", "Q001"},      {"SubtractScore", "0.75"},    {"ErWords1", "'\r\n"},
      {"Keyin", "CHN"},     {"LocalHostName", "SEAT-15"},
  };
  for (const auto& [column, value] : expected) EXPECT_EQ(Shown(row[column]), value) << column;
  EXPECT_EQ(UpToTenSeconds(Shown(row["TestDay"])), "2024/03/05 09:07:0");
  // SubtractScore is kept as text, the scores as numbers.
  EXPECT_TRUE(std::holds_alternative<std::u16string>(row["SubtractScore"]));
  EXPECT_TRUE(std::holds_alternative<double>(row["Score1"]));

  run = Score(kTables[1], "1", kPart1Time, {{"ComputerName", std::nullopt}});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  WriteTypedAnswer(folder.Scores() / "CTEST-2", {"日月盈昃辰宿列張"});
  run = Score(kTables[1], "2", kPart2Time);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const DbRow newest = Rows(kTables[1]).All().back();
  EXPECT_EQ(Shown(newest["LocalHostName"]), "");
  EXPECT_EQ(Shown(newest["ErWords2"]), "'\r\n");  // stored once, as typed
}

TEST_F(Storage, MockTestSecondPartJoinsTheNewestFirstPartOfTheSameDayOnly) {
  TypeExactly(args, 1, 3);
  ASSERT_EQ(Score(kTables[1], "1", "2024-03-04 23:59:00").exit_status, 0);
  const int speed2 = TypeExactly(args, 2, 3);
  ASSERT_EQ(Score(kTables[1], "2", "2024-03-05 00:00:00").exit_status, 0);
  DbRows rows = Rows(kTables[1]);
  ASSERT_EQ(rows.Count(), 2u);  // the day before does not count
  EXPECT_EQ(Shown(rows.All()[0]["Score2"]), "<null>");
  EXPECT_EQ(Shown(rows.All()[1]["Score1"]), "<null>");

  // Two first parts of one day: the newer one, found again by its time, takes the second part.
  TypeExactly(args, 1, 1);
  ASSERT_EQ(Score(kTables[1], "1", "2024-03-05 09:07:00").exit_status, 0);
  const int newest = TypeExactly(args, 1, 2);
  ASSERT_EQ(Score(kTables[1], "1", "2024-03-05 10:08:00").exit_status, 0);
  TypeExactly(args, 2, 3);
  ASSERT_EQ(Score(kTables[1], "2", "2024-03-05 11:00:00").exit_status, 0);
  rows = Rows(kTables[1]);
  ASSERT_EQ(rows.Count(), 4u);
  EXPECT_EQ(Shown(rows.All()[2]["Score2"]), "<null>");
  EXPECT_EQ(Shown(rows.All()[3]["Score1"]), std::to_string(newest));
  EXPECT_EQ(Shown(rows.All()[3]["Score2"]), std::to_string(speed2));
  EXPECT_EQ(UpToTenSeconds(Shown(rows.All()[3]["TestDay"])), "2024/03/05 10:08:0");
}

TEST_F(Storage, ExamWithoutTheAnswerDatabaseEndsWithItsMessageAfterTheReports) {
  TypeExactly(args, 1, 3);
  std::filesystem::remove(folder.AnswerDatabase());
  ProcessResult run = Score(kTables[0], "1");
  EXPECT_EQ(run.exit_status, 3);
  EXPECT_NE(run.err.find("找不到ANS.mdb，請聯絡監考人員"), std::string::npos) << run.err;
  for (const char* report : {"CTEST-1.SCR", "CTEST-1.TOT", "CTEST-1.CHK"}) {
    EXPECT_TRUE(std::filesystem::exists(folder.Scores() / report)) << report;
  }
  EXPECT_FALSE(std::filesystem::exists(folder.AnswerDatabase()));
}

TEST_F(Storage, ACscrFileThatCannotBeWrittenFailsTheRunButKeepsTheRow) {
  TypeExactly(args, 2, 3);
  std::filesystem::create_directory(Cscr());  // a folder where the file should go
  ProcessResult run = Score(kTables[2], "2");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("keyin-scorer: cannot write the CSCR score file " + Cscr().string()),
            std::string::npos)
      << run.err;
  EXPECT_EQ(Rows(kTables[2]).Count(), 1u);
}

// A table that lacks a column the insert needs: the insert fails after the delete.
struct BrokenInsert {
  const char* name;
  const char* TestType;
  bool in_answer_database;
  const char* table;
  std::vector<std::string> recreate;
  std::string old_row;
  const char* kept_column;  // holds 7 in the old row
};

TEST_F(Storage, AFailingInsertKeepsTheOldRow) {
  TypeExactly(args, 1, 3);
  const BrokenInsert cases[] = {
      {"Keyin",
       "5",
       true,
       "Keyin",
       {"DROP TABLE Keyin",
        "CREATE TABLE Keyin (ExamPlaceNo TEXT, ExamNo TEXT, UserID TEXT, ExamPaperNo TEXT, "
        "Score1 NUMERIC, Err1 NUMERIC)"},
       "INSERT INTO Keyin VALUES('A01', 'E01', 'S123456789', 'P001', 7, 1)",
       "Score1"},
      {"OfflineScore",
       "4",
       false,
       "OfflineScore",
       {"DROP TABLE OfflineScore",
        "CREATE TABLE OfflineScore (SessionSeatNo TEXT, Tno TEXT, Score1 NUMERIC)"},
       "INSERT INTO OfflineScore VALUES('315', 'P001', 7)",
       "Score1"},
      {"TempScore",
       "1",
       false,
       "TempScore",
       {"DROP TABLE TempScore",
        "CREATE TABLE TempScore (id TEXT, ClassNum TEXT, tno TEXT, TotalChr NUMERIC)"},
       "INSERT INTO TempScore VALUES('S123456789', '15', 'P001-1', 7)",
       "TotalChr"},
  };
  for (const BrokenInsert& c : cases) {
    SCOPED_TRACE(c.name);
    {
      auto db = c.in_answer_database ? OpenAnswers(folder) : OpenKeyin(folder);
      for (const std::string& statement : c.recreate) db->Execute(statement);
      db->Execute(c.old_row);
    }
    args.TestType = c.TestType;
    args.TestPart = "1";
    ProcessResult run = folder.Scorer(args.Join(), kPart1Time);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find("keyin-scorer: "), std::string::npos) << run.err;
    auto db = c.in_answer_database ? OpenAnswers(folder) : OpenKeyin(folder);
    DbRows rows = ReadTable(*db, c.table);
    ASSERT_EQ(rows.Count(), 1u);
    EXPECT_EQ(Shown(rows.First()[c.kept_column]), "7");
  }
}

TEST_F(Storage, APracticeRecordFailureShowsItsMessageAndFailsTheRun) {
  TypeExactly(args, 1, 3);
  OpenKeyin(folder)->Execute("DROP TABLE TempScore");
  args.TestType = "2";
  ProcessResult run = folder.Scorer(args.Join(), kPart1Time);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.err.find("系統訊息"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("keyin-scorer: SaveDataToDatabse: "), std::string::npos) << run.err;
}

TEST_F(Storage, PracticeRunKeepsOneRowPerSeatWhateverItsLeadingZeros) {
  args.TestType = "1";
  args.SeatNo = "05";
  const int speed = TypeExactly(args, 1, 3);
  ProcessResult run = folder.Scorer(args.Join(), kPart1Time);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  DbRows rows = ReadTable(*OpenKeyin(folder), "TempScore");
  ASSERT_EQ(rows.Count(), 1u);
  const std::string chars = std::to_string(speed);
  const std::pair<const char*, std::string> expected[] = {
      {"id", "S123456789"},
      {"StuName", "王小明"},
      {"ClassName", "甲班"},
      {"ClassNum", "05"},
      {"Topic", "文章練習（單）"},
      {"UseTime", "1分0秒"},
      {"TotTime", "10分00秒"},
      {"SubtractScore", "0"},
      {"tno", "P001-1"},
      {"Keyin", "CHN"},
      {"TotalChr", chars},
      {"RightChr", chars},
      {"ErrChr", "0"},
      {"ErrPercen", "0"},
      // Below a deduction of 0.5 the plain speed counts (the adjusted one is not computed).
      {"Average", chars},
  };
  for (const auto& [column, value] : expected) {
    EXPECT_EQ(Shown(rows.First()[column]), value) << column;
  }
  EXPECT_EQ(UpToTenSeconds(Shown(rows.First()["TestDate"])), "2024/03/05 09:07:0");
  EXPECT_NE(Shown(rows.First()["LocalHostName"]), "<null>");

  args.SeatNo = "5";
  const int later_speed = TypeExactly(args, 1, 2);
  ASSERT_EQ(folder.Scorer(args.Join(), kPart2Time).exit_status, 0);
  rows = ReadTable(*OpenKeyin(folder), "TempScore");
  ASSERT_EQ(rows.Count(), 1u);
  EXPECT_EQ(Shown(rows.First()["ClassNum"]), "5");
  EXPECT_EQ(Shown(rows.First()["TotalChr"]), std::to_string(later_speed));

  // Another seat, or nobody named at all: a row beside it, or none.
  args.SeatNo = "6";
  ASSERT_EQ(folder.Scorer(args.Join(), kPart2Time).exit_status, 0);
  args.UserID = "";
  args.StuName = "";
  ASSERT_EQ(folder.Scorer(args.Join(), kPart2Time).exit_status, 0);
  EXPECT_EQ(ReadTable(*OpenKeyin(folder), "TempScore").Count(), 2u);
}

}  // namespace
}  // namespace keyin::e2e
