// The three result tables of the storage phase: Keyin (exam, answer database), TestScore_Student
// (mock test) and OfflineScore (offline exam). A paper's first part is stored alone; its second
// part is stored beside the first together with the review result (SetScr).
//
// Every branch runs its lookup and its writes in one transaction, taken for writing at its
// start: a delete and the insert that replaces it stand or fall together, and seats that store
// at the same moment queue for the database instead of failing on each other's read locks.
// A second part reads the stored first part, computes the review pair, then writes. Values are
// bound, so names and wrong words are stored exactly as typed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/database.h"
#include "run/result_values.h"
#include "run/run_params.h"

namespace keyin {

// How a part is stored. A scoring run stores a first part as a new result (a mock test adds a
// row beside the earlier ones of the day). A replay of a logged run updates the first part's row
// that the run stored, which it finds by its keys (and a mock test's by its insertion time, the
// run's logged time), so that replaying changes results and never adds one; only when that row
// is gone does it store the part as the run did. Second parts are stored the same way in both.
enum class StoreMode { kRun, kReplay };

// The values of the run that the branches write.
struct TableInputs {
  const RunParams& params;
  double CharsPerMinute = 0;
  double ErrorRate = 0;
  std::u16string ErrorWords = {};    // TestScore_Student only: this part's wrong words
  std::u16string ComputerName = {};  // TestScore_Student.LocalHostName
  DateTime now = {};                 // the time the statements are built
  StoreMode mode = StoreMode::kRun;
};

// A stored Score1 or Err1 as a number; an empty value reads as 0. Throws RunFailure for a text
// that is no number.
double StoredNumber(const DbValue& value, std::string_view column);

// The result values of a second part: the first part as the first found row holds it (0 and 0
// when no row was found), this part's speed and error rate, and the review pair of SetScr.
// Throws RunFailure as StoredNumber does.
ResultValues SecondPartResults(const DbRows& found, double CharsPerMinute, double ErrorRate);

// Each stores the part that TestPart names ("1" or "2"; any other text stores nothing) and returns
// the result values of a second part, which the CSCR file shows; nothing otherwise.
std::optional<ResultValues> StoreKeyinRow(DbConnection& AnsConn, const TableInputs& inputs);
std::optional<ResultValues> StoreTestScoreStudentRow(DbConnection& KeyinConn,
                                                     const TableInputs& inputs);
std::optional<ResultValues> StoreOfflineScoreRow(DbConnection& KeyinConn,
                                                 const TableInputs& inputs);

}  // namespace keyin
