#include "records/sitting_candidates.h"

#include <array>
#include <map>
#include <set>

#include "platform/code_page.h"

namespace keyin {
namespace {

constexpr char kColumns[] =
    "(SittingId TEXT NOT NULL, Room TEXT, OpenedAt TEXT, TestType TEXT, ExamPlaceNo TEXT, "
    "ExamNo TEXT, ExamPaperNo TEXT, SessionNo TEXT, SeatNo TEXT, UserID TEXT NOT NULL, "
    "StuName TEXT, ClassName TEXT)";
constexpr char kCreateIndex[] =
    "CREATE UNIQUE INDEX IF NOT EXISTS SittingCandidates_Key ON SittingCandidates "
    "(SittingId, UserID)";

constexpr std::array<const char*, 12> kNames = {
    "SittingId",   "Room",      "OpenedAt", "TestType", "ExamPlaceNo", "ExamNo",
    "ExamPaperNo", "SessionNo", "SeatNo",   "UserID",   "StuName",     "ClassName"};

// The fields in the table's column order (kNames), of a candidate const or not.
template <typename Candidate>
auto Fields(Candidate& c) {
  return std::array{&c.sitting_id,    &c.room,    &c.opened_at,     &c.test_type,
                    &c.exam_place_no, &c.exam_no, &c.exam_paper_no, &c.session_no,
                    &c.seat_no,       &c.user_id, &c.name,          &c.class_name};
}

std::string TextOf(const DbValue& value) {
  if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
  return {};
}

}  // namespace

const std::vector<std::string>& SittingCandidatesSchema() {
  static const std::vector<std::string> statements = {
      std::string("CREATE TABLE SittingCandidates ") + kColumns,
      kCreateIndex,
  };
  return statements;
}

void RecordSittingCandidates(DbConnection& db, const std::vector<SittingCandidate>& candidates) {
  DbTransaction transaction(db);
  if (!db.HasIndex(kSittingCandidatesIndex)) {
    db.Execute(std::string("CREATE TABLE IF NOT EXISTS SittingCandidates ") + kColumns);
    db.Execute(kCreateIndex);
  }
  std::set<std::pair<std::string, std::string>> recorded;
  std::set<std::string> sittings;
  for (const SittingCandidate& candidate : candidates) sittings.insert(candidate.sitting_id);
  for (const std::string& sitting : sittings) {
    for (const DbRow& row : db.Query("SELECT UserID FROM SittingCandidates WHERE SittingId = ?",
                                     {Utf8ToUtf16(sitting)})
                                .TakeAll()) {
      recorded.emplace(sitting, TextOf(row["UserID"]));
    }
  }
  for (const SittingCandidate& candidate : candidates) {
    if (!recorded.emplace(candidate.sitting_id, candidate.user_id).second) continue;
    std::vector<DbValue> values;
    for (const std::string* field : Fields(candidate)) values.emplace_back(Utf8ToUtf16(*field));
    db.Execute(
        "INSERT INTO SittingCandidates (SittingId, Room, OpenedAt, TestType, ExamPlaceNo, ExamNo, "
        "ExamPaperNo, SessionNo, SeatNo, UserID, StuName, ClassName) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        values);
  }
  transaction.Commit();
}

std::vector<SittingCandidate> ReadSittingCandidates(DbConnection& db) {
  std::vector<SittingCandidate> candidates;
  if (!db.HasIndex(kSittingCandidatesIndex)) return candidates;
  for (const DbRow& row :
       db.Query("SELECT SittingId, Room, OpenedAt, TestType, ExamPlaceNo, ExamNo, ExamPaperNo, "
                "SessionNo, SeatNo, UserID, StuName, ClassName FROM SittingCandidates "
                "ORDER BY OpenedAt, SittingId")
           .TakeAll()) {
    SittingCandidate candidate;
    const auto fields = Fields(candidate);
    for (std::size_t i = 0; i < fields.size(); ++i) *fields[i] = TextOf(row[kNames[i]]);
    candidates.push_back(std::move(candidate));
  }
  return candidates;
}

void AddRosterPeople(std::vector<report::StoredResult>& results,
                     const std::vector<SittingCandidate>& candidates) {
  using report::ResultKind;
  using report::Role;
  // By paper and candidate, and by paper and session-and-seat (offline rows name no candidate);
  // a later sitting replaces an earlier one.
  std::map<std::pair<std::u16string, std::u16string>, const SittingCandidate*> by_user, by_seat;
  for (const SittingCandidate& candidate : candidates) {
    const std::u16string paper = Utf8ToUtf16(candidate.exam_paper_no);
    by_user[{paper, Utf8ToUtf16(candidate.user_id)}] = &candidate;
    by_seat[{paper, Utf8ToUtf16(candidate.session_no + candidate.seat_no)}] = &candidate;
  }
  for (report::StoredResult& result : results) {
    if (result.kind == ResultKind::kPractice) continue;  // a practice row keeps both
    const report::StoredValue* paper = report::ValueOf(result, Role::kPaper);
    const bool offline = result.kind == ResultKind::kOffline;
    const report::StoredValue* who = report::ValueOf(result, offline ? Role::kSeat : Role::kUser);
    if (paper == nullptr || who == nullptr) continue;
    const auto& index = offline ? by_seat : by_user;
    const auto found = index.find({report::ValueText(*paper), report::ValueText(*who)});
    if (found == index.end()) continue;
    result.roster_name = Utf8ToUtf16(found->second->name);
    result.roster_class = Utf8ToUtf16(found->second->class_name);
  }
}

}  // namespace keyin
