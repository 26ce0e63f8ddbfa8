// The rules of one seat of a sitting: what a candidate, the deadline and the scoring may change
// in a seat's records, as pure transitions over a value. Pure.
//
// The room applies a rule to a copy of the seat, has the seat store write the copy, and only then
// makes it the seat: a change is acknowledged once it is on disk, and a write that fails changes
// nothing (seat_store.h, exam_room.h).
//
// Times are milliseconds of the room's clock (room_clock.h). A part moves one way:
//
//   not started -> typing (StartPart) -> submitted, scoring queued (Submit, SubmitWhenDue)
//               -> scoring running (MarkRunning) -> scored or failed (MarkScored, MarkFailed)
//
// Parts go in order; a seat types at most one part at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "server/sitting.h"

namespace keyin::server {

// A request the room refuses: status is the HTTP status, what() a message for the person, code
// a word a page may act on ("other-window", "storage"), empty for most.
class RoomError : public std::runtime_error {
 public:
  RoomError(int status, const std::string& message, std::string code = {})
      : std::runtime_error(message), status_(status), code_(std::move(code)) {}
  int Status() const { return status_; }
  const std::string& Code() const { return code_; }

 private:
  int status_;
  std::string code_;
};

// A scored part's numbers, as texts the report files write them.
struct PartScore {
  std::string speed;        // characters per minute
  std::string error_rate;   // per cent
  std::string errors;       // errors charged
  std::string typed_chars;  // reference characters charged (the total of the summary)
  friend bool operator==(const PartScore&, const PartScore&) = default;
};

enum class ScoringState { kNone, kQueued, kRunning, kScored, kFailed };

// The words of the API and the seat files: "", "queued", "running", "scored", "failed".
std::string_view ScoringStateName(ScoringState state);
std::optional<ScoringState> ScoringStateNamed(std::string_view name);

struct PartRecord {
  std::int64_t started_ms = 0;
  std::int64_t deadline_ms = 0;
  std::int64_t added_seconds = 0;  // the proctor's added time, before or after the start
  std::string text;                // the last saved text
  std::int64_t saved_ms = 0;
  std::int64_t chars = 0;
  bool too_fast = false;
  std::int64_t version = 0;     // accepted changes of the text
  std::string window;           // the page that made the last accepted change
  std::int64_t window_seq = 0;  // that page's number for it
  std::int64_t submitted_ms = 0;
  int use_time = 0;
  ScoringState scoring = ScoringState::kNone;
  std::string run_id;              // the scoring run's id: fixed when queued, kept for retries
  std::int64_t keyin_offset = -1;  // where the keyin record lines were appended; -1 not yet
  PartScore score;
  std::string failure;
  bool report = false;

  bool Started() const { return started_ms != 0; }
  bool Submitted() const { return submitted_ms != 0; }
  bool Typing() const { return Started() && !Submitted(); }
  bool BeingScored() const {
    return scoring == ScoringState::kQueued || scoring == ScoringState::kRunning;
  }
  friend bool operator==(const PartRecord&, const PartRecord&) = default;
};

// One browser holds a seat: the session of token_hash. A sign-in while it is held waits as
// move_hash until the proctor approves the move (the new session takes the seat, the old one
// stops) or refuses it.
struct Seat {
  Candidate candidate;
  std::string token_hash;  // SHA-256 of the candidate's session token; empty before sign-in
  std::string move_hash;   // SHA-256 of a later sign-in's token, waiting for the proctor
  bool admitted = true;    // false until the proctor admits the seat, where the sitting asks it
  std::string method;
  std::vector<PartRecord> parts;  // one per test part of the sitting
  friend bool operator==(const Seat&, const Seat&) = default;
};

// What every rule needs of the sitting.
struct SeatTerms {
  std::int64_t allowed_seconds = 0;  // TotTime
  std::int64_t grace_ms = 3000;      // a save or submit in flight at the deadline still counts
  std::size_t answer_limit_bytes = 200000;
  std::size_t line_limit = 200;  // the lines the scorer takes
  bool ended = false;            // the proctor ended the sitting
  std::int64_t opens_at_ms = 0;  // no part starts before (a scheduled sitting); 0: at once
  std::string sitting_id;        // names the scoring runs of its parts
};

// The id of the one scoring run of a seat's part: the same on every retry, so that the result
// store, which keeps the ids of the runs it stored, never takes the part twice.
std::string ScoringRunId(std::string_view sitting_id, std::string_view seat, int part);

// A fresh seat of the candidate with `parts` parts (1 or 2), admitted unless the sitting has the
// proctor admit each seat.
Seat NewSeat(Candidate candidate, int parts, bool admitted = true);

// The part a seat works on now or next: the first not submitted; 0 when every part is.
int CurrentPart(const Seat& seat);

// The seconds a part allows: TotTime and the time added to it.
std::int64_t AllowedSeconds(const PartRecord& part, const SeatTerms& terms);

// The milliseconds left of a part being typed (never below 0).
std::int64_t TimeLeft(const PartRecord& part, std::int64_t now);

// Each rule changes the seat and returns true, or leaves it as it was and returns false when
// there is nothing to change; a request it refuses throws RoomError and changes nothing.

// The session takes a free seat, or waits for the proctor when another holds it.
bool SignIn(Seat& seat, std::string token_hash);
// The session leaves the seat (or stops waiting for it).
bool SignOut(Seat& seat, std::string_view token_hash);
bool Admit(Seat& seat);
// The proctor's answer to a waiting sign-in; 409 when none waits.
bool DecideMove(Seat& seat, bool approve);
// Until the seat is admitted, the candidate's rules below refuse with 403 "waiting".
bool ChooseMethod(Seat& seat, std::string_view method);
// Fixes the part's deadline. A retried start of the part being typed changes nothing.
bool StartPart(Seat& seat, int part, std::int64_t now, const SeatTerms& terms);

// A save of the answer box. `base` is the version of the text the page built on, `window` and
// `seq` name the page and its count of saves (a page that sends none is a window of its own
// that must always build on the latest version).
//   - the same window: a save newer than its last accepted one is taken; an older one that
//     arrives late is ignored (the draft never goes back in time);
//   - another window: taken when it builds on the latest version (a reload, a moved seat), and
//     that window holds the part from then on; refused with 409 "other-window" otherwise;
//   - an unchanged text only says the browser is there: nothing to write.
struct DraftSave {
  std::string text;
  std::int64_t base = 0;
  std::string window;
  std::int64_t seq = 0;
};
enum class SaveOutcome { kTaken, kUnchanged, kIgnoredAsOlder };
SaveOutcome SaveDraft(Seat& seat, int part, const DraftSave& save, std::int64_t now,
                      const SeatTerms& terms);

// Submits the part, with the page's last text when it comes in time, and queues its scoring. A
// second submit of a submitted part changes nothing. The save is checked as SaveDraft checks it.
bool Submit(Seat& seat, int part, const std::optional<DraftSave>& save, std::int64_t now,
            const SeatTerms& terms);

// The part being typed whose deadline and grace have passed, or every part being typed once the
// sitting has ended; 0 when none is.
int DuePart(const Seat& seat, std::int64_t now, const SeatTerms& terms);

// Submits the DuePart from its last save. The part it submitted, or 0.
int SubmitWhenDue(Seat& seat, std::int64_t now, const SeatTerms& terms);

// Adds the seconds to the part being typed (its deadline moves) or to the next one. The part
// that got them.
int AddTime(Seat& seat, std::int64_t seconds, const SeatTerms& terms);

// The scoring run has been recorded as started, its keyin record lines appended at keyin_offset.
bool MarkRunning(Seat& seat, int part, std::int64_t keyin_offset);
bool MarkScored(Seat& seat, int part, const PartScore& score, bool report);
bool MarkFailed(Seat& seat, int part, const std::string& failure);

}  // namespace keyin::server
