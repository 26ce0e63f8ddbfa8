// Who sat which sitting, beside the result tables: the exam room writes its roster here when a
// sitting opens, so that rows whose tables keep no class (mock tests, offline exams, exams) or
// no name can be read with the candidate's class and name.
//
//   SittingCandidates (SittingId TEXT NOT NULL, Room TEXT, OpenedAt TEXT, TestType TEXT,
//                      ExamPlaceNo TEXT, ExamNo TEXT, ExamPaperNo TEXT, SessionNo TEXT,
//                      SeatNo TEXT, UserID TEXT NOT NULL, StuName TEXT, ClassName TEXT)
//   UNIQUE INDEX SittingCandidates_Key (SittingId, UserID)
//
// Where: as the finished runs (finished_runs.h), in the database that keeps the sitting's kind.
// A row of a result table belongs to a candidate of a sitting when the two share the paper and
// the candidate: the UserID (exam, mock test) or the session and seat (an offline exam's row
// names no candidate).
#pragma once

#include <string>
#include <vector>

#include "platform/database.h"
#include "report/results.h"

namespace keyin {

struct SittingCandidate {
  std::string sitting_id{};
  std::string room{};
  std::string opened_at{};  // "yyyy/MM/dd HH:mm:ss"
  std::string test_type{};
  std::string exam_place_no{};
  std::string exam_no{};
  std::string exam_paper_no{};
  std::string session_no{};
  std::string seat_no{};
  std::string user_id{};
  std::string name{};
  std::string class_name{};
  friend bool operator==(const SittingCandidate&, const SittingCandidate&) = default;
};

inline constexpr char kSittingCandidatesIndex[] = "SittingCandidates_Key";

// The statements that create the table and its index, as init-db runs them.
const std::vector<std::string>& SittingCandidatesSchema();

// Records the candidates in one transaction, adding the table to a database made before it; a
// candidate recorded already for the sitting is left as it is (a sitting resumed). Throws
// DatabaseError, and then nothing was recorded.
void RecordSittingCandidates(DbConnection& db, const std::vector<SittingCandidate>& candidates);

// Every candidate recorded, the sittings in the order they opened; none in a database without
// the table.
std::vector<SittingCandidate> ReadSittingCandidates(DbConnection& db);

// Gives each row the name and class of its candidate on the roster of a sitting that had it (the
// latest such sitting recorded; none: the row is left as it is). Pure.
void AddRosterPeople(std::vector<report::StoredResult>& results,
                     const std::vector<SittingCandidate>& candidates);

}  // namespace keyin
