// The durable state of the exam room behind one interface: the open sitting and its seats. The
// room changes a seat in memory only after the store has written it, so whatever the store
// acknowledged survives a crash of the process or the machine, and a write it refused changed
// nothing.
//
// FileSeatStore keeps a state folder:
//
//   sitting.json          the sitting: id, when it opened, whether it ended, parameters, roster
//   seats/<SeatNo>.json   one seat: session token hash, method, its parts (seat_rules.h)
//   ended-<id>/           an ended sitting's files, moved aside when the next one opens
//   actions-<id>.jsonl    the acts of people with authority over sitting <id> (actions.h), a
//                         line each, appended and flushed before the act is stored
//
// Every write goes to a temporary file that is flushed and renamed over the old one, so a crash
// leaves the old or the new state.
#pragma once

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/actions.h"
#include "server/seat_rules.h"
#include "server/sitting.h"

namespace keyin::server {

// The sitting as the room keeps it.
struct SittingRecord {
  std::string id;
  std::string opened_at;  // local time "yyyy/MM/dd HH:mm:ss": the stored rows from then on
  bool ended = false;
  bool opened_early = false;  // the proctor let candidates start before the sitting's Opens
  Sitting sitting;
  std::vector<Candidate> roster;
};

// A write the store could not make (a full disk, a folder that refuses writes, a server that
// went away); what() says why for the log, never for a candidate's page.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Stored state the store cannot read (a damaged or foreign file); the server refuses to start on
// it rather than lose it.
class StoredStateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct StoredRoom {
  SittingRecord sitting;
  std::vector<Seat> seats;  // in roster order; a seat never written is a fresh one
};

class SeatStore {
 public:
  virtual ~SeatStore() = default;
  // The last sitting opened and its seats, or nothing. Throws StoredStateError.
  virtual std::optional<StoredRoom> Load() = 0;
  // Starts a new sitting: the one before is kept aside, and no seat of it is this one's. Throws
  // StoreError; the sitting before is then still the stored one.
  virtual void Open(const SittingRecord& sitting) = 0;
  // Each throws StoreError; what was stored before stays.
  virtual void SaveSitting(const SittingRecord& sitting) = 0;
  virtual void SaveSeat(const Seat& seat) = 0;
  // Appends an act to the log of the sitting with this id; on the disk when it returns. Throws
  // StoreError; the log then holds no part of it.
  virtual void AppendAction(const std::string& sitting_id, const Action& action) = 0;
  // The acts of that sitting, oldest first. Throws StoredStateError.
  virtual std::vector<Action> Actions(const std::string& sitting_id) = 0;
  // Writes a small record where seats are written, as a seat is written: whether the store takes
  // writes now (readiness). Throws StoreError.
  virtual void Probe() = 0;
};

std::unique_ptr<SeatStore> MakeFileSeatStore(const std::string& state_folder);

// The stored forms, shared by every store. SeatFromJson takes the candidate from the roster and
// the part count from the sitting; it throws StoredStateError for a form it cannot read.
nlohmann::json SeatToJson(const Seat& seat);
Seat SeatFromJson(const nlohmann::json& json, const Candidate& candidate, int parts);
nlohmann::json SittingRecordToJson(const SittingRecord& record);
SittingRecord SittingRecordFromJson(const nlohmann::json& json);

}  // namespace keyin::server
