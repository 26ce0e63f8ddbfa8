// The exam room's state on the PostgreSQL server of KEYIN_DATABASE_URL, so that a keyin-server on
// another machine can resume a room whose machine failed: the same records as the state folder's
// (seat_store.h), one row each, beside the result tables.
//
//   RoomSittings (Room, SittingId, Body, IsCurrent)   the room's sittings; IsCurrent 1 for its last
//   RoomSeats (Room, SittingId, SeatNo, Body)        one seat of a sitting (SeatToJson)
//   RoomActions (Line, Room, SittingId, Body)        the action log, in the order of Line
//
// One server holds a room at a time: the store holds a session-level advisory lock of the room on
// its own connection for as long as it lives, and the server releases it by ending (or losing)
// that connection; a server killed with kill -9 loses it as the database notices the connection
// closed. Every write is one statement or one transaction, committed before it returns.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/seat_store.h"

namespace keyin::server {

// Another server holds the room's lock.
class RoomHeldElsewhere : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The store of a room, holding its lock. Throws RoomHeldElsewhere when another server holds it,
// StoredStateError when the database cannot be reached or its tables cannot be made.
std::unique_ptr<SeatStore> MakeDatabaseSeatStore(const std::string& room);

// The rooms whose state the database holds, sorted. Throws StoredStateError.
std::vector<std::string> DatabaseRoomNames();

}  // namespace keyin::server
