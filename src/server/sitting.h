// A sitting: the run parameters a whole room shares, and its roster. Both come from people
// (a JSON file or the proctor's form, a CSV file exported by a spreadsheet); everything here
// checks them before a value can reach an argument string or a file name. Pure.
//
// Texts are UTF-8. Every value ends up in the scorer's argument string, which is cut at ",", so
// no value may hold one. Values that name files or folders (ExamPaperNo, SessionNo, UserID,
// SeatNo) are restricted to letters, digits, "-" and "_".
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "run/run_kind.h"

namespace keyin::server {

// Input that cannot open a sitting; what() is a message for the proctor, in Traditional
// Chinese, that says how to put it right.
class SittingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Sitting {
  std::string ExamPlaceNo;
  std::string ExamNo;
  std::string ExamPaperNo;
  std::string TestType;
  std::string SessionNo;
  std::string TotTime;        // whole seconds, as given
  std::string SubtractScore;  // a number, as given
  std::string LibPath;        // ends with "/" or "\"
  std::string ScrPath;        // ends with "/" or "\"
  bool ShowResults = false;
  // Lines of a custom text for TestType "0"; empty when the paper's .cus file is used as it is.
  std::vector<std::string> CustomText;
  // How a candidate comes in: "code" (UserID and access code), "proctor" (UserID, then the
  // proctor admits the seat) or "code+proctor" (both).
  std::string SignIn = "code";
  // The room the sitting is held in (letters, digits, "-", "_"): one server holds many rooms,
  // each with one sitting at a time. Not given: the SessionNo.
  std::string Room;
  // The proctor accounts that run this room; none named: every proctor account.
  std::vector<std::string> Proctors;
  // When candidates may start, to the minute, in local time ("yyyy/MM/dd HH:mm"); they may sign
  // in and choose their input method before. Empty: at once.
  std::string Opens;
  friend bool operator==(const Sitting&, const Sitting&) = default;
};

// Whether a sign-in needs the candidate's access code, and whether the proctor admits a seat.
bool AsksAccessCode(const Sitting& sitting);
bool AsksAdmission(const Sitting& sitting);

struct Candidate {
  std::string UserID;
  std::string StuName;
  std::string ClassName;
  std::string SeatNo;
  // Given by the roster, or made when the sitting opens (MakeAccessCodes).
  std::string AccessCode{};
  friend bool operator==(const Candidate&, const Candidate&) = default;
};

// The characters of a made access code: no look-alikes (0/O, 1/I/L, 2/Z, 5/S, 8/B, U/V).
inline constexpr std::string_view kAccessCodeAlphabet = "ACDEFGHJKMNPQRTWXY34679";

// True when the code a candidate typed is theirs: blanks around it and letter case do not count
// (slips are read and typed by people).
bool AccessCodeMatches(std::string_view given, std::string_view expected);

// The roster with a code for every candidate who has none, drawn by `draw` (of 6 characters of
// kAccessCodeAlphabet); pure apart from what `draw` does.
std::vector<Candidate> MakeAccessCodes(std::vector<Candidate> roster,
                                       const std::function<std::string()>& draw);

// The same candidates, when the codes the second roster gives match the first's: a sitting
// resumed from the command line, whose made codes its roster file does not hold.
bool SameRoster(const std::vector<Candidate>& stored, const std::vector<Candidate>& given);

// Reads and checks the fields named after the run parameters plus ShowResults (and the
// optional CustomText). Numbers may be given as JSON numbers or texts. Throws SittingError.
Sitting SittingFromJson(const nlohmann::json& json);
nlohmann::json SittingToJson(const Sitting& sitting);

// The time Opens names; nothing when the sitting opens at once. Pure.
std::optional<DateTime> OpensAt(const Sitting& sitting);

// The kind of run of the sitting (its TestType is one of the list, checked on reading).
RunKind KindOf(const Sitting& sitting);

// Whether the sitting is a practice (kinds 0, 1 and 2): its report teaches the codes of the
// method used, and a drill may follow it.
bool IsPractice(const Sitting& sitting);

// Test parts of the kind of run: one for the custom-text and single article practice, two
// for every other kind.
int PartCount(const Sitting& sitting);

// The roster file as text: UTF-8 when it starts with a byte-order mark or is well-formed UTF-8,
// otherwise code page 950.
std::string RosterText(std::string_view bytes);

// Records of a CSV text (RFC 4180: "," between fields, fields in double quotes may hold ",",
// line ends and doubled quotes; CR LF or LF ends a record). Throws SittingError for a quote
// that is never closed.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

// The roster from the file's bytes: a header row naming the columns UserID, StuName, ClassName
// and SeatNo (in any order, other columns ignored; AccessCode optional: 4 to 20 letters or
// digits), then one candidate per row; blank rows are
// skipped, blanks around values trimmed. Throws SittingError naming the row and what is wrong
// (a missing column, an empty or malformed UserID or SeatNo, a duplicate, a ",").
std::vector<Candidate> ParseRoster(std::string_view bytes);

nlohmann::json RosterToJson(const std::vector<Candidate>& roster);
std::vector<Candidate> RosterFromJson(const nlohmann::json& json);

// True when the absolute path lies in the folder root or below it, by whole path components,
// and holds no ".." component (a folder named after a sitting's value must not climb out of
// the folders the administrator allows). Compares the text only: no link is followed.
bool LiesUnder(std::string_view path, std::string_view root);

// True for 1 to max_length letters, digits, "-" and "_".
bool IsSafeName(std::string_view text, std::size_t max_length);

}  // namespace keyin::server
