#include "server/centre.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_system.h"
#include "server/database_seat_store.h"

namespace keyin::server {

namespace {

std::string RoomsFolder(const RoomConfig& base) { return base.state_folder + "/rooms"; }

}  // namespace

Centre::Centre(RoomConfig base, bool rooms_in_database)
    : base_(std::move(base)), rooms_in_database_(rooms_in_database) {
  if (!base_.scoring_share) {
    base_.scoring_share = std::make_shared<ScoringShare>(std::max(base_.scoring_workers, 1));
  }
  if (rooms_in_database_) {
    TakeFreeRooms();
    watch_ = std::thread([this] { WatchHeldRooms(); });
    return;
  }
  // A state folder from before rooms: its one room stays where its files are.
  if (IsNormalFile(base_.state_folder + "/sitting.json")) {
    auto room = std::make_unique<ExamRoom>(base_);
    if (std::optional<Sitting> sitting = room->CurrentSitting()) {
      rooms_.emplace(sitting->Room, std::move(room));
    }
  }
  for (const std::string& name : SubfolderNames(RoomsFolder(base_))) {
    if (!IsSafeName(name, 32) || rooms_.contains(name)) continue;
    rooms_.emplace(name, std::make_unique<ExamRoom>(ConfigOf(name)));
  }
}

Centre::~Centre() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_watch_.notify_all();
  if (watch_.joinable()) watch_.join();
}

RoomConfig Centre::ConfigOf(const std::string& name) const {
  RoomConfig config = base_;
  config.state_folder = RoomsFolder(base_) + "/" + name;
  if (rooms_in_database_) config.make_store = [name] { return MakeDatabaseSeatStore(name); };
  return config;
}

void Centre::TakeFreeRooms() {
  for (const std::string& name : DatabaseRoomNames()) {
    {
      std::lock_guard lock(mutex_);
      if (rooms_.contains(name) || !IsSafeName(name, 32)) continue;
    }
    try {
      auto room = std::make_unique<ExamRoom>(ConfigOf(name));
      std::lock_guard lock(mutex_);
      held_elsewhere_.erase(name);
      rooms_.emplace(name, std::move(room));
      std::fprintf(stderr, "keyin-server: room %s is held here now\n", name.c_str());
    } catch (const RoomHeldElsewhere&) {
      std::lock_guard lock(mutex_);
      if (held_elsewhere_.insert(name).second) {
        std::fprintf(stderr, "keyin-server: room %s is held by another server; waiting for it\n",
                     name.c_str());
      }
    }
  }
}

// A server that fails lets go of its rooms (its connection closes); this one takes them then.
void Centre::WatchHeldRooms() {
  std::unique_lock lock(mutex_);
  while (!stop_watch_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; })) {
    lock.unlock();
    try {
      TakeFreeRooms();
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "keyin-server: cannot look for rooms to take: %s\n", failure.what());
    }
    lock.lock();
  }
}

ExamRoom& Centre::RoomNamed(const std::string& name) {
  auto found = rooms_.find(name);
  if (found != rooms_.end()) return *found->second;
  RoomConfig config = ConfigOf(name);
  CreateFolders(config.state_folder);
  try {
    return *rooms_.emplace(name, std::make_unique<ExamRoom>(std::move(config))).first->second;
  } catch (const RoomHeldElsewhere&) {
    throw RoomError(409, "考場 " + name + " 由另一台伺服器負責，請在那台伺服器上操作");
  }
}

ExamRoom& Centre::OpenSitting(const Sitting& sitting, std::vector<Candidate> roster,
                              const std::string& who) {
  ExamRoom* room = nullptr;
  {
    std::lock_guard lock(mutex_);
    room = &RoomNamed(sitting.Room);
  }
  room->OpenSitting(sitting, std::move(roster), who);
  return *room;
}

void Centre::OpenOrResume(const Sitting& sitting, std::vector<Candidate> roster) {
  ExamRoom* room = nullptr;
  {
    std::lock_guard lock(mutex_);
    room = &RoomNamed(sitting.Room);
  }
  room->OpenOrResume(sitting, std::move(roster));
}

ExamRoom* Centre::Find(const std::string& room) const {
  std::lock_guard lock(mutex_);
  auto found = rooms_.find(room);
  return found == rooms_.end() ? nullptr : found->second.get();
}

std::vector<std::pair<std::string, ExamRoom*>> Centre::Rooms() const {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<std::string, ExamRoom*>> rooms;
  for (const auto& [name, room] : rooms_) rooms.emplace_back(name, room.get());
  return rooms;
}

Centre::SignedIn Centre::SignIn(const std::string& user_id, const std::string& access_code,
                                const std::string& chosen_room) {
  std::vector<std::string> running, ended;
  for (const auto& [name, room] : Rooms()) {
    switch (room->KnowsCandidate(user_id, access_code)) {
      case ExamRoom::Knows::kRunning:
        running.push_back(name);
        break;
      case ExamRoom::Knows::kEnded:
        ended.push_back(name);
        break;
      case ExamRoom::Knows::kNo:
        break;
    }
  }
  // A sitting that runs comes before one whose results the candidate may look back at.
  const std::vector<std::string>& rooms = running.empty() ? ended : running;
  std::string room = rooms.size() == 1 ? rooms.front() : "";
  if (!chosen_room.empty() &&
      (std::find(running.begin(), running.end(), chosen_room) != running.end() ||
       std::find(ended.begin(), ended.end(), chosen_room) != ended.end())) {
    room = chosen_room;
  }
  if (room.empty() && rooms.size() > 1) return {{}, {}, rooms};
  // No room knows the candidate: the first room's refusal, the same whichever was wrong.
  if (room.empty()) {
    const auto all = Rooms();
    if (all.empty()) throw RoomError(409, "目前沒有開放的場次");
    room = all.front().first;
    for (const auto& [name, candidate_room] : all) {
      if (candidate_room->CurrentSitting()) room = name;
    }
  }
  return {room, Find(room)->SignIn(user_id, access_code), {}};
}

std::optional<Centre::Where> Centre::AccessOf(const std::string& token) {
  std::optional<Where> stopped;
  for (const auto& [name, room] : Rooms()) {
    if (std::optional<ExamRoom::Access> access = room->AccessOf(token)) {
      if (access->standing != ExamRoom::Access::Standing::kStopped) return Where{room, *access};
      stopped = Where{room, *access};
    }
  }
  return stopped;
}

void Centre::SignOut(const std::string& token) {
  for (const auto& [name, room] : Rooms()) room->SignOut(token);
}

ServerMetrics::Gauges Centre::Gauges() {
  ServerMetrics::Gauges all;
  for (const auto& [name, room] : Rooms()) {
    const ServerMetrics::Gauges gauges = room->Gauges();
    for (const auto& [state, count] : gauges.seats_by_state) all.seats_by_state[state] += count;
    all.scoring_queued += gauges.scoring_queued;
    all.scoring_running += gauges.scoring_running;
  }
  return all;
}

std::optional<std::string> Centre::ReadinessProblem() {
  for (const auto& [name, room] : Rooms()) {
    if (std::optional<std::string> problem = room->ReadinessProblem()) return problem;
  }
  return std::nullopt;
}

bool MayRunRoom(const std::string& account, Role role, const std::optional<Sitting>& sitting) {
  if (role == Role::kAdministrator) return true;
  if (!RoleMay(role, Power::kRun)) return false;
  if (!sitting || sitting->Proctors.empty()) return true;
  return std::find(sitting->Proctors.begin(), sitting->Proctors.end(), account) !=
         sitting->Proctors.end();
}

}  // namespace keyin::server
