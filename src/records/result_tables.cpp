// The statements keep the tables, columns, keys and order of the scorer's SQL; every value is a
// bound parameter. Dates are stored as texts of kStoredDateTimePattern, and a mock test's second
// part finds its first part among the rows of the same day, newest first, then finds that row
// again by its insertion time to the second.
#include "records/result_tables.h"

#include <vector>

#include "records/review_choice.h"
#include "records/schema.h"
#include "run/run_end.h"
#include "support/number_text.h"

namespace keyin {
namespace {

DbValue Text(std::u16string_view text) { return std::u16string(text); }
DbValue Number(double value) { return value; }

std::u16string StoredText(const DbValue& value) {
  if (const auto* text = std::get_if<std::u16string>(&value)) return *text;
  if (const auto* number = std::get_if<double>(&value)) return FormatNumber(*number);
  return {};
}

DbValue StoredTime(const DateTime& now) { return FormatDateTimeText(now, kStoredDateTimePattern); }

void StoreKeyinFirstPart(DbConnection& db, const TableInputs& in) {
  const RunParams& p = in.params;
  db.Execute("DELETE FROM Keyin WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=? AND ExamPaperNo=?",
             {Text(p.ExamPlaceNo), Text(p.ExamNo), Text(p.UserID), Text(p.ExamPaperNo)});
  db.Execute(
      "INSERT INTO Keyin(ExamPlaceNo,ExamNo,UserID,ExamPaperNo,Score1,Err1,ExamDate)"
      "VALUES(?,?,?,?,?,?,?)",
      {Text(p.ExamPlaceNo), Text(p.ExamNo), Text(p.UserID), Text(p.ExamPaperNo),
       Number(in.CharsPerMinute), Number(in.ErrorRate), StoredTime(in.now)});
}

// A replayed first part: Score1 and Err1 of the row the run stored.
void ReplayKeyinFirstPart(DbConnection& db, const TableInputs& in) {
  const RunParams& p = in.params;
  const std::vector<DbValue> keys = {Text(p.ExamPlaceNo), Text(p.ExamNo), Text(p.UserID),
                                     Text(p.ExamPaperNo)};
  const std::string where = " WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=? AND ExamPaperNo=?";
  if (db.Query("SELECT Score1 FROM Keyin" + where, keys).AtEnd()) {
    StoreKeyinFirstPart(db, in);
    return;
  }
  std::vector<DbValue> values = {Number(in.CharsPerMinute), Number(in.ErrorRate)};
  values.insert(values.end(), keys.begin(), keys.end());
  db.Execute("UPDATE Keyin SET Score1=?,Err1=?" + where, values);
}

// The paper number takes no part in the lookup: the row of the first part is updated even when
// it was stored for another paper, and keeps its paper number.
ResultValues StoreKeyinSecondPart(DbConnection& db, const TableInputs& in) {
  const RunParams& p = in.params;
  const std::vector<DbValue> keys = {Text(p.ExamPlaceNo), Text(p.ExamNo), Text(p.UserID)};
  const DbRows found =
      db.Query("SELECT * FROM Keyin WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=?", keys);
  const ResultValues r = SecondPartResults(found, in.CharsPerMinute, in.ErrorRate);
  if (!found.AtEnd()) {
    db.Execute(
        "UPDATE Keyin SET Score2=?,Err2=?,Score=?,Err=?,ExamDate=? "
        "WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=?",
        {Number(r.Test2Score), Number(r.Test2Err), Number(r.ReviewScore), Number(r.ReviewErr),
         StoredTime(in.now), keys[0], keys[1], keys[2]});
  } else {
    db.Execute(
        "INSERT INTO Keyin(ExamPlaceNo,ExamNo,UserID,ExamPaperNo,Score2,Err2,Score,Err,ExamDate)"
        "VALUES(?,?,?,?,?,?,?,?,?)",
        {keys[0], keys[1], keys[2], Text(p.ExamPaperNo), Number(r.Test2Score), Number(r.Test2Err),
         Number(r.ReviewScore), Number(r.ReviewErr), StoredTime(in.now)});
  }
  return r;
}

// Always a new row: an earlier first part of the same day stays beside it.
void StoreTestScoreStudentFirstPart(DbConnection& db, const TableInputs& in) {
  const RunParams& p = in.params;
  db.Execute(
      "Insert Into TestScore_Student(Stuname, TestNum, Tno, Score1,Err1,SubtractScore,ErWords1,"
      "Keyin,TestDay,Id,LocalHostName) Values(?,?,?,?,?,?,?,?,?,?,?)",
      {Text(p.StuName), Text(p.SessionNo + p.SeatNo), Text(p.ExamPaperNo),
       Number(in.CharsPerMinute), Number(in.ErrorRate), Text(FormatNumber(p.SubtractScore)),
       Text(in.ErrorWords), Text(u"CHN"), StoredTime(in.now), Text(p.UserID),
       Text(in.ComputerName)});
}

void ReplayTestScoreStudentFirstPart(DbConnection& db, const TableInputs& in) {
  const RunParams& p = in.params;
  const std::vector<DbValue> keys = {Text(p.UserID), Text(p.SessionNo + p.SeatNo),
                                     Text(p.ExamPaperNo),
                                     FormatDateTimeText(in.now, "yyyy/MM/dd H:m:s")};
  const std::string where =
      " WHERE id=? AND TestNum=? AND Tno =? AND Format(TestDay,'yyyy/MM/dd H:m:s')=?";
  if (db.Query("SELECT Score1 FROM TestScore_Student" + where, keys).AtEnd()) {
    StoreTestScoreStudentFirstPart(db, in);
    return;
  }
  std::vector<DbValue> values = {Number(in.CharsPerMinute), Number(in.ErrorRate),
                                 Text(in.ErrorWords)};
  values.insert(values.end(), keys.begin(), keys.end());
  db.Execute("UPDATE TestScore_Student SET Score1=?,Err1=?,ErWords1=?" + where, values);
}

ResultValues StoreTestScoreStudentSecondPart(DbConnection& db, const TableInputs& in) {
  const RunParams& p = in.params;
  const DbValue id = Text(p.UserID);
  const DbValue test_num = Text(p.SessionNo + p.SeatNo);
  const DbValue tno = Text(p.ExamPaperNo);
  const DbValue today = FormatDateTimeText(in.now, "yyyy/MM/dd");
  const DbRows found = db.Query(
      "SELECT * FROM TestScore_Student WHERE id=? AND TestNum=? AND Tno =? AND "
      "Format(TestDay,'yyyy/MM/dd')=? order by TestDay desc",
      {id, test_num, tno, today});
  const ResultValues r = SecondPartResults(found, in.CharsPerMinute, in.ErrorRate);
  if (!found.AtEnd()) {
    const DbValue inserted_at =
        FormatSqlValue(StoredText(found.First()["TestDay"]), u"yyyy/MM/dd H:m:s");
    db.Execute(
        "UPDATE TestScore_Student SET id=?,Stuname=?,TestNum=?,Tno=?,Score2=?, Err2=?,Score=?, "
        "Err=?,ErWords2=? WHERE id=? AND TestNum=? AND Tno =? AND "
        "Format(TestDay,'yyyy/MM/dd H:m:s')=?",
        {id, Text(p.StuName), test_num, tno, Number(r.Test2Score), Number(r.Test2Err),
         Number(r.ReviewScore), Number(r.ReviewErr), Text(in.ErrorWords), id, test_num, tno,
         inserted_at});
  } else {
    // A row of the second part alone keeps its wrong words where a first part would.
    db.Execute(
        "Insert Into TestScore_Student(Stuname, TestNum, Tno, Score2,Err2, Score,Err,"
        "SubtractScore,ErWords1,Keyin,TestDay,Id,LocalHostName) "
        "Values(?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {Text(p.StuName), test_num, tno, Number(r.Test2Score), Number(r.Test2Err),
         Number(r.ReviewScore), Number(r.ReviewErr), Text(FormatNumber(p.SubtractScore)),
         Text(in.ErrorWords), Text(u"CHN"), StoredTime(in.now), id, Text(in.ComputerName)});
  }
  return r;
}

DbRows FindOfflineRows(DbConnection& db, const DbValue& seat, const DbValue& tno) {
  return db.Query("SELECT * FROM OfflineScore WHERE SessionSeatNo=? AND Tno=?", {seat, tno});
}

void StoreOfflineScoreFirstPart(DbConnection& db, const TableInputs& in) {
  const DbValue seat = Text(in.params.SessionNo + in.params.SeatNo);
  const DbValue tno = Text(in.params.ExamPaperNo);
  if (!FindOfflineRows(db, seat, tno).AtEnd()) {
    db.Execute("DELETE FROM OfflineScore WHERE SessionSeatNo=? AND Tno=?", {seat, tno});
  }
  db.Execute("INSERT INTO OfflineScore(SessionSeatNo,Tno,Score1,Err1)VALUES(?,?, ?,?)",
             {seat, tno, Number(in.CharsPerMinute), Number(in.ErrorRate)});
}

void ReplayOfflineScoreFirstPart(DbConnection& db, const TableInputs& in) {
  const DbValue seat = Text(in.params.SessionNo + in.params.SeatNo);
  const DbValue tno = Text(in.params.ExamPaperNo);
  if (FindOfflineRows(db, seat, tno).AtEnd()) {
    StoreOfflineScoreFirstPart(db, in);
    return;
  }
  db.Execute("UPDATE OfflineScore SET Score1=?, Err1=? WHERE SessionSeatNo=? AND Tno=?",
             {Number(in.CharsPerMinute), Number(in.ErrorRate), seat, tno});
}

ResultValues StoreOfflineScoreSecondPart(DbConnection& db, const TableInputs& in) {
  const DbValue seat = Text(in.params.SessionNo + in.params.SeatNo);
  const DbValue tno = Text(in.params.ExamPaperNo);
  const DbRows found = FindOfflineRows(db, seat, tno);
  const ResultValues r = SecondPartResults(found, in.CharsPerMinute, in.ErrorRate);
  if (!found.AtEnd()) {
    db.Execute(
        "UPDATE OfflineScore SET Score2=?, Err2=?, Score3=?, Err3=? "
        "WHERE SessionSeatNo=? AND Tno=?",
        {Number(r.Test2Score), Number(r.Test2Err), Number(r.ReviewScore), Number(r.ReviewErr), seat,
         tno});
  } else {
    db.Execute(
        "INSERT INTO OfflineScore(Score2, Err2, Score3, Err3, SessionSeatNo, Tno)"
        "VALUES(?, ?,?, ?, ?, ?)",
        {Number(r.Test2Score), Number(r.Test2Err), Number(r.ReviewScore), Number(r.ReviewErr), seat,
         tno});
  }
  return r;
}

// The two branches of one table.
struct TableBranches {
  std::string_view table;
  void (*first_part)(DbConnection&, const TableInputs&);
  void (*replayed_first_part)(DbConnection&, const TableInputs&);
  ResultValues (*second_part)(DbConnection&, const TableInputs&);
};

std::optional<ResultValues> StoreRow(DbConnection& db, const TableInputs& in,
                                     const TableBranches& table) {
  const std::u16string& part = in.params.TestPart;
  if (part != u"1" && part != u"2") return std::nullopt;
  AddLookupIndexWhenMissing(db, table.table);
  DbTransaction transaction(db);
  std::optional<ResultValues> results;
  if (part == u"1") {
    (in.mode == StoreMode::kReplay ? table.replayed_first_part : table.first_part)(db, in);
  } else {
    results = table.second_part(db, in);
  }
  transaction.Commit();
  return results;
}

}  // namespace

double StoredNumber(const DbValue& value, std::string_view column) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  const std::u16string text = StoredText(value);
  if (text.find_first_not_of(u' ') == std::u16string::npos) return 0;
  return NumberOrThrow<RunFailure>(text, "the stored " + std::string(column));
}

ResultValues SecondPartResults(const DbRows& found, double CharsPerMinute, double ErrorRate) {
  ResultValues results;
  if (!found.AtEnd()) {
    results.Test1Score = StoredNumber(found.First()["Score1"], "Score1");
    results.Test1Err = StoredNumber(found.First()["Err1"], "Err1");
  }
  results.Test2Score = CharsPerMinute;
  results.Test2Err = ErrorRate;
  const ReviewPair review =
      SetScr(results.Test1Score, results.Test1Err, results.Test2Score, results.Test2Err);
  results.ReviewScore = review.ReviewScore;
  results.ReviewErr = review.ReviewErr;
  return results;
}

std::optional<ResultValues> StoreKeyinRow(DbConnection& AnsConn, const TableInputs& inputs) {
  return StoreRow(AnsConn, inputs,
                  {"Keyin", StoreKeyinFirstPart, ReplayKeyinFirstPart, StoreKeyinSecondPart});
}

std::optional<ResultValues> StoreTestScoreStudentRow(DbConnection& KeyinConn,
                                                     const TableInputs& inputs) {
  return StoreRow(KeyinConn, inputs,
                  {"TestScore_Student", StoreTestScoreStudentFirstPart,
                   ReplayTestScoreStudentFirstPart, StoreTestScoreStudentSecondPart});
}

std::optional<ResultValues> StoreOfflineScoreRow(DbConnection& KeyinConn,
                                                 const TableInputs& inputs) {
  return StoreRow(KeyinConn, inputs,
                  {"OfflineScore", StoreOfflineScoreFirstPart, ReplayOfflineScoreFirstPart,
                   StoreOfflineScoreSecondPart});
}

}  // namespace keyin
