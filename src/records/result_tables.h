// The three result tables of the storage phase: Keyin (exam, answer database), TestScore_Student
// (mock test) and OfflineScore (offline exam). A paper's first part is stored alone; its second
// part is stored beside the first together with the review result (SetScr).
//
// Every branch runs its lookup and its writes in one transaction, taken for writing at its
// start: a delete and the insert that replaces it stand or fall together, and seats that store
// at the same moment queue for the database instead of failing on each other's read locks.
// Values are bound, so names and wrong words are stored exactly as typed.
#pragma once

#include <string>

#include "platform/clock.h"
#include "platform/database.h"
#include "startup/run.h"

namespace keyin {

// What a branch stored, by TestPart ("1", "2", anything else: nothing).
enum class StoredPart { kNothing, kFirst, kSecond };

// The values of the run that the branches write.
struct TableInputs {
  const RunParams& params;
  double CharsPerMinute = 0;
  double ErrorRate = 0;
  std::u16string ErrorWords1 = {};   // TestScore_Student only
  std::u16string ErrorWords2 = {};   // TestScore_Student only
  std::u16string ComputerName = {};  // TestScore_Student.LocalHostName
  DateTime now = {};                 // the time the statements are built
};

// A stored Score1 or Err1 as a number; an empty value reads as 0. Throws RunFailure for a text
// that is no number.
double StoredNumber(const DbValue& value, std::string_view column);

// Each sets the test values of ResultValues it knows and, for a second part, the review pair.
StoredPart StoreKeyinRow(DbConnection& AnsConn, const TableInputs& inputs, ResultValues& results);
StoredPart StoreTestScoreStudentRow(DbConnection& KeyinConn, const TableInputs& inputs,
                                    ResultValues& results);
StoredPart StoreOfflineScoreRow(DbConnection& KeyinConn, const TableInputs& inputs,
                                ResultValues& results);

}  // namespace keyin
