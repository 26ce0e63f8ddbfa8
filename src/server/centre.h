// The exam centre: the rooms one server holds. Each room runs one sitting at a time with its own
// roster, proctors, board, deadlines and results (an ExamRoom), and keeps its state in a folder
// of its own, rooms/<Room>/ in the server's state folder. A state folder from before rooms holds
// one room's files at its top; that room is kept there.
//
// With the rooms' state on the database server (RoomConfig::make_store unset and
// rooms_in_database), each room is held by one server at a time (database_seat_store.h): a room
// another server holds is waited for, and taken over as soon as that server is gone.
//
// Candidates use one address for the whole centre: their UserID and access code find the room.
// Thread-safe; a room, once made, lives as long as the centre.
#pragma once

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "server/accounts.h"
#include "server/exam_room.h"

namespace keyin::server {

class Centre {
 public:
  // Loads every room with stored state. base: what every room shares; its state_folder is the
  // server's. Throws as ExamRoom does for stored state it cannot use.
  explicit Centre(RoomConfig base, bool rooms_in_database = false);
  ~Centre();
  Centre(const Centre&) = delete;
  Centre& operator=(const Centre&) = delete;

  // Opens the sitting in the room it names, making the room when it is new. As
  // ExamRoom::OpenSitting otherwise.
  ExamRoom& OpenSitting(const Sitting& sitting, std::vector<Candidate> roster,
                        const std::string& who);
  // For the command line: as ExamRoom::OpenOrResume in the sitting's room.
  void OpenOrResume(const Sitting& sitting, std::vector<Candidate> roster);

  // The room of that name, or nullptr.
  ExamRoom* Find(const std::string& room) const;
  // Every room by name.
  std::vector<std::pair<std::string, ExamRoom*>> Rooms() const;

  // A candidate's sign-in: the room whose sitting runs (else, whose ended sitting shows its
  // results) holds a seat for this UserID and access code. Several such rooms and no choice
  // among them: no token, and the rooms to choose from. 401 as ExamRoom::SignIn when none.
  struct SignedIn {
    std::string room;
    std::string token;
    std::vector<std::string> choices;  // rooms, when the candidate must choose
  };
  SignedIn SignIn(const std::string& user_id, const std::string& access_code,
                  const std::string& chosen_room);
  struct Where {
    ExamRoom* room = nullptr;
    ExamRoom::Access access;
  };
  std::optional<Where> AccessOf(const std::string& token);
  void SignOut(const std::string& token);

  ServerMetrics::Gauges Gauges();
  std::optional<std::string> ReadinessProblem();
  std::int64_t Now() const { return clock_.Now(); }
  // The program folder every room scores in: its databases hold every room's results.
  const std::string& ProgramFolder() const { return base_.program_folder; }

 private:
  ExamRoom& RoomNamed(const std::string& name);  // made when missing; under mutex_
  RoomConfig ConfigOf(const std::string& name) const;
  // Takes the rooms of the database that no server holds; those another holds are left waiting.
  void TakeFreeRooms();
  void WatchHeldRooms();

  RoomConfig base_;
  bool rooms_in_database_;
  RoomClock clock_;
  mutable std::mutex mutex_;
  std::map<std::string, std::unique_ptr<ExamRoom>> rooms_;
  std::set<std::string> held_elsewhere_;  // rooms of the database another server holds: logged once
  std::condition_variable stop_watch_;
  bool stopping_ = false;
  std::thread watch_;  // last: it uses everything above
};

// Whether the account may run the room whose sitting this is (open or end it, its board and
// seats); reading results is every reader's. Administrators run every room; a proctor, the rooms
// whose sitting names them, or every room whose sitting names nobody.
bool MayRunRoom(const std::string& account, Role role, const std::optional<Sitting>& sitting);

}  // namespace keyin::server
