#include "records/schema.h"

namespace keyin {

const std::vector<std::string>& KeyinDatabaseSchema() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE TestScore_Student (Id TEXT, Stuname TEXT, TestNum TEXT, Tno TEXT, "
      "Score1 NUMERIC, Err1 NUMERIC, Score2 NUMERIC, Err2 NUMERIC, Score NUMERIC, Err NUMERIC, "
      "SubtractScore TEXT, ErWords1 TEXT, ErWords2 TEXT, Keyin TEXT, TestDay TEXT, "
      "LocalHostName TEXT)",
      "CREATE TABLE OfflineScore (SessionSeatNo TEXT, Tno TEXT, Score1 NUMERIC, Err1 NUMERIC, "
      "Score2 NUMERIC, Err2 NUMERIC, Score3 NUMERIC, Err3 NUMERIC)",
      "CREATE TABLE TempScore (id TEXT, StuName TEXT, ClassName TEXT, ClassNum TEXT, Topic TEXT, "
      "UseTime TEXT, TotTime TEXT, SubtractScore NUMERIC, tno TEXT, Keyin TEXT, "
      "TotalChr NUMERIC, RightChr NUMERIC, ErrChr NUMERIC, ErrPercen NUMERIC, Average NUMERIC, "
      "TestDate TEXT, ErWords TEXT, LocalHostName TEXT)",
  };
  return statements;
}

const std::vector<std::string>& AnswerDatabaseSchema() {
  static const std::vector<std::string> statements = {
      "CREATE TABLE Keyin (ExamPlaceNo TEXT, ExamNo TEXT, UserID TEXT, ExamPaperNo TEXT, "
      "Score1 NUMERIC, Err1 NUMERIC, Score2 NUMERIC, Err2 NUMERIC, Score NUMERIC, Err NUMERIC, "
      "ExamDate TEXT)",
  };
  return statements;
}

}  // namespace keyin
