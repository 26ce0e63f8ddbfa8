// The maintenance form: three commands that write and remove result rows by hand. It keeps its
// own copy of the command line, fourteen fields: the run parameters without TestType and
// ClassName (0 ExamPlaceNo, 1 ExamNo, 2 ExamPaperNo, 3 Field3, 4 UserID, 5 StuName, 6 SessionNo,
// 7 SeatNo, 8 TestPart, 9 TotTime, 10 UseTime, 11 SubtractScore, 12 LibPath, 13 ScrPath).
//
// Every statement binds its values; the delete and the insert of button 1 run in one
// transaction, so a failed insert leaves the old row in place.
#pragma once

#include <array>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/database.h"

namespace keyin {

inline constexpr int kMaintenanceFieldCount = 14;

// Field numbers the buttons read or write.
enum MaintenanceField : int {
  kFieldExamPlaceNo = 0,
  kFieldExamNo = 1,
  kFieldExamPaperNo = 2,
  kFieldUserID = 4,
  kFieldSessionNo = 6,
  kFieldSeatNo = 7,
  kFieldUseTime = 10,
  kFieldSubtractScore = 11,
};

// The test-taker that button 1 writes its sample row for (and button 2 then removes).
inline constexpr std::u16string_view kSampleUserID = u"A123456789";
// The elapsed time, in seconds, that button 3 sets.
inline constexpr std::u16string_view kSampleUseTime = u"54";

// A command line the form cannot take: fewer than fourteen pieces, or a piece 11 that is not a
// number.
class MaintenanceCommandLineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct MaintenanceForm {
  std::array<std::u16string, kMaintenanceFieldCount> fields;  // field 11 as given, too
  double SubtractScore = 0;                                   // field 11 as a number
  // The sample result; the review pair is part 2, as the review choice would take it.
  double Score1 = 24, Err1 = 6.1, Score2 = 42, Err2 = 5.2, Score = 42, Err = 5.2;
};

// UserForm_Activate of the form: splits the command line at every "," and keeps pieces 0 to 13
// (further pieces are ignored). Throws MaintenanceCommandLineError for fewer than fourteen
// pieces or a piece 11 that is not a number.
MaintenanceForm ActivateMaintenanceForm(std::u16string_view command_line);

// Button 1: in the answer database (AnsConn, opened by OpenAnsDb), replaces the Keyin rows of
// field 0, field 1 and field 4 by one sample row for "A123456789" (field 4 becomes "A123456789"
// for the rest of the form's life), stamped with `now`.
void CommandButton1_Click(MaintenanceForm& form, DbConnection& AnsConn, const DateTime& now);

// Button 2: in the keyin-statistics database (KeyinConn, opened by opendb), removes the
// TestScore_Student rows of test-taker field 4, TestNum field 6 & field 7 and Tno field 2 whose
// TestDay falls on the day of `today`.
void CommandButton2_Click(const MaintenanceForm& form, DbConnection& KeyinConn,
                          const DateTime& today);

// Button 3: sets field 10 (UseTime, seconds) to "54"; nothing else.
void CommandButton3_Click(MaintenanceForm& form);

}  // namespace keyin
