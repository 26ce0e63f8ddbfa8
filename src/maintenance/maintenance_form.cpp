#include "maintenance/maintenance_form.h"

#include "platform/database.h"
#include "run/run_params.h"
#include "support/number_text.h"

namespace keyin {
namespace {

constexpr char kDeleteExamRows[] =
    "DELETE FROM Keyin WHERE ExamPlaceNo=? AND ExamNo=? AND UserID=?";
constexpr char kInsertExamRow[] =
    "INSERT INTO Keyin(ExamPlaceNo,ExamNo,UserID,ExamPaperNo,Score1,Err1,Score2,Err2,Score,Err,"
    "ExamDate)VALUES(?,?,?,?,?,?,?,?,?,?,?)";
constexpr char kDeleteMockRowsOfDay[] =
    "DELETE FROM TestScore_Student WHERE id=? AND TestNum=? AND Tno=? AND "
    "Format(TestDay,'yyyy/MM/dd')=?";

DbValue Text(const std::u16string& text) { return text; }

}  // namespace

MaintenanceForm ActivateMaintenanceForm(std::u16string_view command_line) {
  const std::vector<std::u16string> pieces = SplitArguments(command_line);
  if (pieces.size() < kMaintenanceFieldCount) {
    throw MaintenanceCommandLineError("the command line needs 14 comma-separated fields, got " +
                                      std::to_string(pieces.size()));
  }
  MaintenanceForm form;
  for (int i = 0; i < kMaintenanceFieldCount; ++i) form.fields[i] = pieces[i];
  form.SubtractScore = NumberOrThrow<MaintenanceCommandLineError>(pieces[kFieldSubtractScore],
                                                                  "field 11 (SubtractScore)");
  return form;
}

void CommandButton1_Click(MaintenanceForm& form, DbConnection& AnsConn, const DateTime& now) {
  DbTransaction transaction(AnsConn);
  AnsConn.Execute(kDeleteExamRows,
                  {Text(form.fields[kFieldExamPlaceNo]), Text(form.fields[kFieldExamNo]),
                   Text(form.fields[kFieldUserID])});
  form.fields[kFieldUserID] = kSampleUserID;
  AnsConn.Execute(kInsertExamRow,
                  {Text(form.fields[kFieldExamPlaceNo]), Text(form.fields[kFieldExamNo]),
                   Text(form.fields[kFieldUserID]), Text(form.fields[kFieldExamPaperNo]),
                   form.Score1, form.Err1, form.Score2, form.Err2, form.Score, form.Err,
                   FormatDateTimeText(now, kStoredDateTimePattern)});
  transaction.Commit();
}

void CommandButton2_Click(const MaintenanceForm& form, DbConnection& KeyinConn,
                          const DateTime& today) {
  KeyinConn.Execute(
      kDeleteMockRowsOfDay,
      {Text(form.fields[kFieldUserID]),
       Text(form.fields[kFieldSessionNo] + form.fields[kFieldSeatNo]),
       Text(form.fields[kFieldExamPaperNo]), FormatDateTimeText(today, "yyyy/MM/dd")});
}

void CommandButton3_Click(MaintenanceForm& form) { form.fields[kFieldUseTime] = kSampleUseTime; }

}  // namespace keyin
