// The statements keep the tables, columns, keys and order of the scorer's SQL; every value is a
// bound parameter. Dates are stored as "yyyy/MM/dd HH:mm:ss" texts, and a mock test's second
// part finds its first part among the rows of the same day, newest first, then finds that row
// again by its insertion time to the second.
#include "records/result_tables.h"

#include <vector>

#include "platform/code_page.h"
#include "records/review_choice.h"
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

// The first part as the found row holds it.
void ReadFirstPart(const DbRow& row, ResultValues& results) {
  results.Test1Score = StoredNumber(row["Score1"], "Score1");
  results.Test1Err = StoredNumber(row["Err1"], "Err1");
}

void NoFirstPart(ResultValues& results) {
  results.Test1Score = 0;
  results.Test1Err = 0;
}

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

// The paper number takes no part in the lookup: the row of the first part is updated even when
// it was stored for another paper, and keeps its paper number.
void StoreKeyinSecondPart(DbConnection& db, const TableInputs& in, ResultValues& results) {
  const RunParams& p = in.params;
  results.Test2Score = in.CharsPerMinute;
  results.Test2Err = in.ErrorRate;
  const std::vector<DbValue> keys = {Text(p.ExamPlaceNo), Text(p.ExamNo), Text(p.UserID)};
  const DbRows found =
      db.Query("SELECT * FROM Keyin WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=?", keys);
  if (!found.AtEnd()) {
    ReadFirstPart(found.First(), results);
    SetScr(results);
    db.Execute(
        "UPDATE Keyin SET Score2=?,Err2=?,Score=?,Err=?,ExamDate=? "
        "WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=?",
        {Number(results.Test2Score), Number(results.Test2Err), Number(results.ReviewScore),
         Number(results.ReviewErr), StoredTime(in.now), keys[0], keys[1], keys[2]});
  } else {
    NoFirstPart(results);
    SetScr(results);
    db.Execute(
        "INSERT INTO Keyin(ExamPlaceNo,ExamNo,UserID,ExamPaperNo,Score2,Err2,Score,Err,ExamDate)"
        "VALUES(?,?,?,?,?,?,?,?,?)",
        {keys[0], keys[1], keys[2], Text(p.ExamPaperNo), Number(results.Test2Score),
         Number(results.Test2Err), Number(results.ReviewScore), Number(results.ReviewErr),
         StoredTime(in.now)});
  }
}

// Always a new row: an earlier first part of the same day stays beside it.
void StoreTestScoreStudentFirstPart(DbConnection& db, const TableInputs& in,
                                    ResultValues& results) {
  const RunParams& p = in.params;
  results.Test1Score = in.CharsPerMinute;
  results.Test1Err = in.ErrorRate;
  db.Execute(
      "Insert Into TestScore_Student(Stuname, TestNum, Tno, Score1,Err1,SubtractScore,ErWords1,"
      "Keyin,TestDay,Id,LocalHostName) Values(?,?,?,?,?,?,?,?,?,?,?)",
      {Text(p.StuName), Text(p.SessionNo + p.SeatNo), Text(p.ExamPaperNo),
       Number(results.Test1Score), Number(results.Test1Err), Text(FormatNumber(p.SubtractScore)),
       Text(in.ErrorWords1), Text(u"CHN"), StoredTime(in.now), Text(p.UserID),
       Text(in.ComputerName)});
}

void StoreTestScoreStudentSecondPart(DbConnection& db, const TableInputs& in,
                                     ResultValues& results) {
  const RunParams& p = in.params;
  results.Test2Score = in.CharsPerMinute;
  results.Test2Err = in.ErrorRate;
  const DbValue id = Text(p.UserID);
  const DbValue test_num = Text(p.SessionNo + p.SeatNo);
  const DbValue tno = Text(p.ExamPaperNo);
  const DbValue today = FormatDateTimeText(in.now, "yyyy/MM/dd");
  const DbRows found = db.Query(
      "SELECT * FROM TestScore_Student WHERE id=? AND TestNum=? AND Tno =? AND "
      "Format(TestDay,'yyyy/MM/dd')=? order by TestDay desc",
      {id, test_num, tno, today});
  if (!found.AtEnd()) {
    const DbRow& newest = found.First();
    ReadFirstPart(newest, results);
    SetScr(results);
    const DbValue inserted_at = FormatSqlValue(StoredText(newest["TestDay"]), u"yyyy/MM/dd H:m:s");
    db.Execute(
        "UPDATE TestScore_Student SET id=?,Stuname=?,TestNum=?,Tno=?,Score2=?, Err2=?,Score=?, "
        "Err=?,ErWords2=? WHERE id=? AND TestNum=? AND Tno =? AND "
        "Format(TestDay,'yyyy/MM/dd H:m:s')=?",
        {id, Text(p.StuName), test_num, tno, Number(results.Test2Score), Number(results.Test2Err),
         Number(results.ReviewScore), Number(results.ReviewErr), Text(in.ErrorWords2), id, test_num,
         tno, inserted_at});
  } else {
    NoFirstPart(results);
    SetScr(results);
    // A row of the second part alone keeps its wrong words where a first part would.
    db.Execute(
        "Insert Into TestScore_Student(Stuname, TestNum, Tno, Score2,Err2, Score,Err,"
        "SubtractScore,ErWords1,Keyin,TestDay,Id,LocalHostName) "
        "Values(?,?,?,?,?,?,?,?,?,?,?,?,?)",
        {Text(p.StuName), test_num, tno, Number(results.Test2Score), Number(results.Test2Err),
         Number(results.ReviewScore), Number(results.ReviewErr),
         Text(FormatNumber(p.SubtractScore)), Text(in.ErrorWords2), Text(u"CHN"),
         StoredTime(in.now), id, Text(in.ComputerName)});
  }
}

void StoreOfflineScorePart(DbConnection& db, const TableInputs& in, bool second_part,
                           ResultValues& results) {
  const RunParams& p = in.params;
  const DbValue seat = Text(p.SessionNo + p.SeatNo);
  const DbValue tno = Text(p.ExamPaperNo);
  const DbRows found =
      db.Query("SELECT * FROM OfflineScore WHERE SessionSeatNo=? AND Tno=?", {seat, tno});
  if (!second_part) {
    results.Test1Score = in.CharsPerMinute;
    results.Test1Err = in.ErrorRate;
    if (!found.AtEnd()) {
      db.Execute("DELETE FROM OfflineScore WHERE SessionSeatNo=? AND Tno=?", {seat, tno});
    }
    db.Execute("INSERT INTO OfflineScore(SessionSeatNo,Tno,Score1,Err1)VALUES(?,?, ?,?)",
               {seat, tno, Number(results.Test1Score), Number(results.Test1Err)});
    return;
  }
  results.Test2Score = in.CharsPerMinute;
  results.Test2Err = in.ErrorRate;
  if (!found.AtEnd()) {
    ReadFirstPart(found.First(), results);
    SetScr(results);
    db.Execute(
        "UPDATE OfflineScore SET Score2=?, Err2=?, Score3=?, Err3=? "
        "WHERE SessionSeatNo=? AND Tno=?",
        {Number(results.Test2Score), Number(results.Test2Err), Number(results.ReviewScore),
         Number(results.ReviewErr), seat, tno});
  } else {
    NoFirstPart(results);
    SetScr(results);
    db.Execute(
        "INSERT INTO OfflineScore(Score2, Err2, Score3, Err3, SessionSeatNo, Tno)"
        "VALUES(?, ?,?, ?, ?, ?)",
        {Number(results.Test2Score), Number(results.Test2Err), Number(results.ReviewScore),
         Number(results.ReviewErr), seat, tno});
  }
}

StoredPart PartOf(const RunParams& params) {
  if (params.TestPart == u"1") return StoredPart::kFirst;
  if (params.TestPart == u"2") return StoredPart::kSecond;
  return StoredPart::kNothing;
}

}  // namespace

double StoredNumber(const DbValue& value, std::string_view column) {
  if (const auto* number = std::get_if<double>(&value)) return *number;
  const std::u16string text = StoredText(value);
  if (text.find_first_not_of(u' ') == std::u16string::npos) return 0;
  return NumberOrThrow<RunFailure>(text, "the stored " + std::string(column));
}

StoredPart StoreKeyinRow(DbConnection& AnsConn, const TableInputs& inputs, ResultValues& results) {
  const StoredPart part = PartOf(inputs.params);
  if (part == StoredPart::kNothing) return part;
  DbTransaction transaction(AnsConn);
  if (part == StoredPart::kFirst) {
    StoreKeyinFirstPart(AnsConn, inputs);
  } else {
    StoreKeyinSecondPart(AnsConn, inputs, results);
  }
  transaction.Commit();
  return part;
}

StoredPart StoreTestScoreStudentRow(DbConnection& KeyinConn, const TableInputs& inputs,
                                    ResultValues& results) {
  const StoredPart part = PartOf(inputs.params);
  if (part == StoredPart::kNothing) return part;
  DbTransaction transaction(KeyinConn);
  if (part == StoredPart::kFirst) {
    StoreTestScoreStudentFirstPart(KeyinConn, inputs, results);
  } else {
    StoreTestScoreStudentSecondPart(KeyinConn, inputs, results);
  }
  transaction.Commit();
  return part;
}

StoredPart StoreOfflineScoreRow(DbConnection& KeyinConn, const TableInputs& inputs,
                                ResultValues& results) {
  const StoredPart part = PartOf(inputs.params);
  if (part == StoredPart::kNothing) return part;
  DbTransaction transaction(KeyinConn);
  StoreOfflineScorePart(KeyinConn, inputs, part == StoredPart::kSecond, results);
  transaction.Commit();
  return part;
}

}  // namespace keyin
