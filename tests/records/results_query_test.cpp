#include "records/results_query.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "platform/code_page.h"
#include "records/schema.h"
#include "records/sitting_candidates.h"

namespace keyin {
namespace {

namespace fs = std::filesystem;
using report::ResultKind;
using report::Role;

// A program folder with both databases holding a few rows of every kind.
class ResultsQueryTest : public testing::Test {
 protected:
  ResultsQueryTest()
      : folder_(fs::temp_directory_path() / ("keyin-results-query-" + std::to_string(getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "drive_c/ANS.VOR");
    ::unsetenv("KEYIN_DRIVE_C");
    CreateDatabase((folder_ / "Vorkeyin.mdb").string(), "K4T7W2", KeyinDatabaseSchema());
    CreateDatabase((folder_ / "drive_c/ANS.VOR/ANS.mdb").string(), "5820", AnswerDatabaseSchema());
    Store(ResultKind::kExam)
        ->Execute(
            "INSERT INTO Keyin VALUES ('A01','E01','S1','P001',40,2,50,1,50,1,"
            "'2024/03/05 09:00:00'), ('A01','E01','S2','P002',30,5,NULL,NULL,NULL,NULL,"
            "'2024/03/06 23:59:59'), ('A01','E01','O''Neil','P001',20,9,25,8,25,8,"
            "'2024/03/07 00:00:00')");
    const auto keyin = Store(ResultKind::kMock);
    keyin->Execute(
        "INSERT INTO TestScore_Student (Id, Stuname, TestNum, Tno, Score, Err, TestDay) VALUES "
        "('S1','王小明','315','P001',50,1,'2024/03/05 09:00:00'), "
        "('S2','李大同','3015','P001',45,2,'2024/03/06 10:00:00'), "
        "('S3','陳小美','415','P002',40,3,'2024/03/07 11:00:00')");
    keyin->Execute(
        "INSERT INTO OfflineScore (SessionSeatNo, Tno, Score3, Err3) VALUES "
        "('315','P001',50,1), ('415','P002',40,3)");
    keyin->Execute(
        "INSERT INTO TempScore (id, StuName, ClassName, ClassNum, tno, Average, ErrPercen, "
        "TestDate) VALUES ('S1','王小明','甲班','15','P001-1',30,4,'2024/03/05 09:00:00'), "
        "('S2','李大同','乙班','16','P001-2',35,3,'2024/03/06 09:00:00'), "
        "('S1','王小明','甲班','15','P0011-1',33,2,'2024/03/07 09:00:00')");
    // The rosters of the exam room's sittings: S3 of 甲班 sat another paper than the one stored.
    const auto seated = [](std::string id, std::string paper, std::string session, std::string seat,
                           std::string user, std::string class_name) {
      return SittingCandidate{.sitting_id = id,
                              .exam_paper_no = paper,
                              .session_no = session,
                              .seat_no = seat,
                              .user_id = user,
                              .class_name = class_name};
    };
    RecordSittingCandidates(*keyin, {seated("R1", "P001", "3", "15", "S1", "甲班"),
                                     seated("R1", "P001", "30", "15", "S2", "乙班"),
                                     seated("R2", "P009", "4", "15", "S3", "甲班")});
    RecordSittingCandidates(*Store(ResultKind::kExam),
                            {seated("R3", "P001", "1", "1", "S1", "甲班"),
                             seated("R3", "P001", "1", "2", "O'Neil", "乙班")});
  }
  ~ResultsQueryTest() override { fs::remove_all(folder_); }

  std::unique_ptr<DbConnection> Store(ResultKind kind) const {
    return OpenResultsStore(folder_.string(), kind);
  }

  // Who and which paper, per selected row: "S1/P001 S2/P002".
  std::string Selected(ResultKind kind, const ResultsFilter& filter) const {
    std::string shown;
    for (const report::StoredResult& result : ReadResults(*Store(kind), kind, filter)) {
      const report::StoredValue* who = report::ValueOf(result, Role::kUser);
      if (who == nullptr) who = report::ValueOf(result, Role::kSeat);
      const std::u16string text = report::ValueText(*who) + u"/" +
                                  report::ValueText(*report::ValueOf(result, Role::kPaper));
      if (!shown.empty()) shown += " ";
      for (const char16_t c : text) shown += c < 0x80 ? char(c) : '?';
    }
    return shown;
  }

  fs::path folder_;
};

TEST_F(ResultsQueryTest, EachFilterSelectsExactlyItsRowsInEveryKind) {
  struct Case {
    const char* behaviour;
    ResultsFilter filter;
    const char *exam, *offline, *mock, *practice;  // nullptr: the kind has no such column
  };
  const Case cases[] = {
      {"no filter takes every row in order of date",
       {},
       "S1/P001 S2/P002 O'Neil/P001",
       "315/P001 415/P002",
       "S1/P001 S2/P001 S3/P002",
       "S1/P001-1 S2/P001-2 S1/P0011-1"},
      {"a user, a quote in it compared as data",
       {.user = u"O'Neil"},
       "O'Neil/P001",
       nullptr,
       "",
       ""},
      {"a user of every kind that stores one",
       {.user = u"S1"},
       "S1/P001",
       nullptr,
       "S1/P001",
       "S1/P001-1 S1/P0011-1"},
      {"a paper, and for practice both of its parts but no longer paper number",
       {.paper = u"P001"},
       "S1/P001 O'Neil/P001",
       "315/P001",
       "S1/P001 S2/P001",
       "S1/P001-1 S2/P001-2"},
      {"a session matches the start of the joined session and seat",
       {.session = u"3"},
       nullptr,
       "315/P001",
       "S1/P001 S2/P001",
       nullptr},
      {"a class, stored or from the roster of a sitting with the row's paper",
       {.class_name = u"甲班"},
       "S1/P001",
       "315/P001",
       "S1/P001",
       "S1/P001-1 S1/P0011-1"},
      {"one day, from and to inclusive, to its last second",
       {.from = u"2024/03/06", .to = u"2024/03/06"},
       "S2/P002",
       nullptr,
       "S2/P001",
       "S2/P001-2"},
      {"from alone", {.from = u"2024/03/07"}, "O'Neil/P001", nullptr, "S3/P002", "S1/P0011-1"},
      {"filters together",
       {.user = u"S1", .paper = u"P001", .to = u"2024/03/05"},
       "S1/P001",
       nullptr,
       "S1/P001",
       "S1/P001-1"},
      {"since a moment, a row stored at that very second included",
       {.since = u"2024/03/06 23:59:59"},
       "S2/P002 O'Neil/P001",
       nullptr,
       "S3/P002",
       "S1/P0011-1"},
      {"since a moment with a paper, as the exam room asks",
       {.paper = u"P001", .since = u"2024/03/05 09:00:01"},
       "O'Neil/P001",
       nullptr,
       "S2/P001",
       "S2/P001-2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.behaviour);
    const char* expected[] = {c.exam, c.offline, c.mock, c.practice};
    for (const ResultKind kind : report::kAllKinds) {
      SCOPED_TRACE(report::KindName(kind));
      const char* rows = expected[static_cast<int>(kind)];
      EXPECT_EQ(BuildResultsQuery(kind, c.filter).has_value(), rows != nullptr);
      EXPECT_EQ(Selected(kind, c.filter), rows == nullptr ? "" : rows);
    }
  }
}

// A time stored without leading zeros is compared as the time it is, not as its text (by which
// 2024/3/8 would come after 2024/03/09).
TEST_F(ResultsQueryTest, SinceComparesTheStoredTimeNotItsText) {
  Store(ResultKind::kPractice)
      ->Execute(
          "INSERT INTO TempScore (id, tno, TestDate) VALUES ('S9', 'P009-1', '2024/3/8 7:05:00')");
  EXPECT_EQ(Selected(ResultKind::kPractice, {.user = u"S9", .since = u"2024/03/08 07:05:00"}),
            "S9/P009-1");
  EXPECT_EQ(Selected(ResultKind::kPractice, {.user = u"S9", .since = u"2024/03/08 07:05:01"}), "");
}

TEST_F(ResultsQueryTest, AMomentOrDayNotWrittenInFullIsRefused) {
  const ResultsFilter refused[] = {
      {.since = u"2024/03/08"},
      {.since = u"2024/03/08 7:05:00"},
      {.from = u"2024/3/8"},
      {.to = u"yesterday"},
  };
  for (const ResultsFilter& filter : refused) {
    EXPECT_THROW(BuildResultsQuery(ResultKind::kMock, filter), std::invalid_argument);
  }
}

TEST_F(ResultsQueryTest, RowsHoldEveryStoredColumnAsStored) {
  const std::vector<report::StoredResult> rows =
      ReadResults(*Store(ResultKind::kExam), ResultKind::kExam, {.user = u"S2"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(
      rows[0].values,
      (std::vector<report::StoredValue>{
          u"A01", u"E01", u"S2", u"P002", 30.0, 5.0, {}, {}, {}, {}, u"2024/03/06 23:59:59"}));
}

TEST_F(ResultsQueryTest, RostersAreRecordedOnceAndADatabaseWithoutThemKnowsNoClass) {
  // A sitting resumed records its roster again: nothing changes.
  const auto keyin = Store(ResultKind::kMock);
  RecordSittingCandidates(
      *keyin,
      {{.sitting_id = "R1", .exam_paper_no = "P001", .user_id = "S1", .class_name = "丙班"}});
  EXPECT_EQ(ReadSittingCandidates(*keyin).size(), 3u);
  EXPECT_EQ(Selected(ResultKind::kMock, {.class_name = u"丙班"}), "");

  keyin->Execute("DROP TABLE SittingCandidates");
  EXPECT_TRUE(ReadSittingCandidates(*keyin).empty());
  EXPECT_EQ(Selected(ResultKind::kMock, {.class_name = u"甲班"}), "");
  RecordSittingCandidates(*keyin, {{.sitting_id = "R4", .user_id = "S1"}});  // the table comes back
  EXPECT_EQ(ReadSittingCandidates(*keyin).size(), 1u);
}

TEST_F(ResultsQueryTest, ASelectionGivesRowsWithoutAClassTheirRostersClass) {
  std::string classes;
  for (const report::StoredResult& row :
       ReadSelection(folder_.string(), {ResultKind::kExam, ResultKind::kOffline, ResultKind::kMock},
                     {})) {
    const report::StoredValue* value = report::ValueOf(row, Role::kClass);
    classes += (classes.empty() ? "" : " ") +
               (value == nullptr ? std::string("-") : Utf16ToUtf8(report::ValueText(*value)));
  }
  // Exams S1 S2 O'Neil (S2 sat no recorded sitting), offline 315 415, mock S1 S2 S3 (S3's
  // roster had another paper).
  EXPECT_EQ(classes, "甲班 - 乙班 甲班 - 甲班 乙班 -");
}

TEST_F(ResultsQueryTest, AMissingStoreIsToldApart) {
  fs::remove(folder_ / "drive_c/ANS.VOR/ANS.mdb");
  EXPECT_THROW(Store(ResultKind::kExam), ResultsStoreMissing);
  EXPECT_NO_THROW(Store(ResultKind::kPractice));
}

TEST_F(ResultsQueryTest, StoredColumnsAreEveryColumnOfTheTablesInOrder) {
  for (const ResultKind kind : report::kAllKinds) {
    const DbRows all = Store(kind)->Query("SELECT * FROM " + std::string(report::TableOf(kind)));
    const std::vector<report::StoredResult> read = ReadResults(*Store(kind), kind, {});
    ASSERT_FALSE(all.AtEnd());
    EXPECT_EQ(all.First().Values(), read.front().values) << report::KindName(kind);
  }
}

TEST(IsDay, TakesOnlyExistingDaysWrittenInFull) {
  EXPECT_TRUE(IsDay(u"2024/02/29"));
  const std::u16string refused[] = {
      u"2023/02/29",     u"2024/2/29", u"2024-02-29", u"2024/02/29 00:00:00", u"2024/13/01",
      u"２０２４/02/29", u""};
  for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_FALSE(IsDay(refused[i])) << i;
}

TEST(IsDateTime, TakesOnlyExistingMomentsWrittenAsStored) {
  EXPECT_TRUE(IsDateTime(u"2024/02/29 23:59:59"));
  EXPECT_TRUE(IsDateTime(u"2024/03/01 00:00:00"));
  const std::u16string refused[] = {
      u"2023/02/29 00:00:00", u"2024/02/29",          u"2024/02/29 24:00:00",
      u"2024/02/29 23:60:00", u"2024/02/29 23:59:60", u"2024/02/29T23:59:59",
      u"2024/02/29 1:02:03",  u"2024/02/29 01:02:0x", u""};
  for (std::size_t i = 0; i < std::size(refused); ++i) EXPECT_FALSE(IsDateTime(refused[i])) << i;
}

}  // namespace
}  // namespace keyin
