// Reading stored results back for teachers: the rows of one kind of run that a selection takes,
// read with one plain query whose filter values are bound (never joined into the SQL), and the
// one function that opens the store of a kind's table.
//
// Each filter compares one stored column, and a kind whose table has no such column has no row
// that could pass (FilterColumn tells which):
//
//   filter   exam (Keyin)  offline (OfflineScore)  mock (TestScore_Student)  practice (TempScore)
//   class    roster        roster                  roster                    ClassName
//   session  -             SessionSeatNo (start)   TestNum (start)           -
//   user     UserID        -                       Id                        id
//   paper    ExamPaperNo   Tno                     Tno                       tno: paper-1, paper-2
//   dates    ExamDate      -                       TestDay                   TestDate
//   since    ExamDate      -                       TestDay                   TestDate
//
// "roster": the class of the candidate on the roster of a sitting of the exam room that had the
// row's paper (SittingCandidates, sitting_candidates.h); a row no recorded sitting had has no
// class. The session is stored joined with the seat ("3" and "15" as "315"), so a session matches
// the start of that text. Dates compare the day of the stored date-time through the store's Format
// function, from and to inclusive; since compares the whole date-time the same way, inclusive,
// so a row stored at the very second given passes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"
#include "report/results.h"

namespace keyin {

struct ResultsFilter {
  std::optional<std::u16string> class_name = {};
  std::optional<std::u16string> session = {};
  std::optional<std::u16string> user = {};
  std::optional<std::u16string> paper = {};
  std::optional<std::u16string> from = {};   // a day "yyyy/MM/dd"
  std::optional<std::u16string> to = {};     // a day "yyyy/MM/dd"
  std::optional<std::u16string> since = {};  // a date-time "yyyy/MM/dd HH:mm:ss"
};

enum class FilterField { kClass, kSession, kUser, kPaper, kDates, kSince };

// The stored column a filter compares in the kind's table; empty when the table has none.
std::string_view FilterColumn(report::ResultKind kind, FilterField field);

// True for a day written "yyyy/MM/dd" (four, two and two digits) that exists.
bool IsDay(std::u16string_view text);
// True for a date-time written "yyyy/MM/dd HH:mm:ss", as the tables store them, that exists.
bool IsDateTime(std::u16string_view text);

struct ResultsQuery {
  std::string sql;
  std::vector<DbValue> values;
};

// The query of the kind's rows that pass the filter, every column of the table in its order.
// Nothing when the filter compares a column the table does not have: no row could pass. Throws
// std::invalid_argument for a from or to that is no day (IsDay) or a since that is no date-time
// (IsDateTime): compared as texts they would select rows by accident.
std::optional<ResultsQuery> BuildResultsQuery(report::ResultKind kind, const ResultsFilter& filter);

// The kind's rows that pass the filter, as the store gives them, in order of their dates and
// keys (empty values first, then numbers, then texts by code unit). Throws as BuildResultsQuery
// and DatabaseError.
std::vector<report::StoredResult> ReadResults(DbConnection& store, report::ResultKind kind,
                                              const ResultsFilter& filter);

// The rows of the kinds that pass the filter, kind after kind, each with its candidate's name and
// class from the rosters recorded beside it (sitting_candidates.h). Each database is opened once,
// and not at all when none of the kinds is kept in it. Throws as OpenResultsStore and ReadResults.
std::vector<report::StoredResult> ReadSelection(const std::string& program_folder,
                                                const std::vector<report::ResultKind>& kinds,
                                                const ResultsFilter& filter);

class ResultsStoreMissing : public DatabaseError {
 public:
  using DatabaseError::DatabaseError;
};

// Opens the database that holds the kind's table: ANS.mdb for exams, Vorkeyin.mdb for the
// others, with their passwords. Throws ResultsStoreMissing when it does not exist, DatabaseError
// when it does not open.
std::unique_ptr<DbConnection> OpenResultsStore(const std::string& program_folder,
                                               report::ResultKind kind);

}  // namespace keyin
