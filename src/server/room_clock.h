// The room's clock: milliseconds that read as the wall clock when the server starts and then
// move with the steady clock, so that a clock step while the server runs (NTP, an operator,
// a virtual machine resumed) moves no deadline, no "disconnected" and no session expiry.
//
// Deadlines are stored in these milliseconds. A restart has only the wall clock to go on: it
// starts the room's clock from the wall clock again, and a step that happened while no server
// ran (or while the last one ran) shifts the stored deadlines by that much.
#pragma once

#include <cstdint>

#include "platform/system_services.h"

namespace keyin::server {

class RoomClock {
 public:
  RoomClock() : offset_(UnixMillisNow() - SteadyMillisNow()) {}
  std::int64_t Now() const { return SteadyMillisNow() + offset_; }

 private:
  std::int64_t offset_;
};

}  // namespace keyin::server
