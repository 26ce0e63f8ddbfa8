#include "server/database_seat_store.h"

#include <map>
#include <mutex>

#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/store.h"

namespace keyin::server {

using nlohmann::json;

namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS RoomSittings (Room TEXT NOT NULL, SittingId TEXT NOT NULL, "
    "Body TEXT NOT NULL, IsCurrent INTEGER NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS RoomSittings_Key ON RoomSittings (Room, SittingId)",
    "CREATE TABLE IF NOT EXISTS RoomSeats (Room TEXT NOT NULL, SittingId TEXT NOT NULL, "
    "SeatNo TEXT NOT NULL, Body TEXT NOT NULL)",
    "CREATE UNIQUE INDEX IF NOT EXISTS RoomSeats_Key ON RoomSeats (Room, SittingId, SeatNo)",
    "CREATE TABLE IF NOT EXISTS RoomActions (Line BIGSERIAL PRIMARY KEY, Room TEXT NOT NULL, "
    "SittingId TEXT NOT NULL, Body TEXT NOT NULL)",
};

DbValue Text(std::string_view text) { return Utf8ToUtf16(text); }

std::string TextOf(const DbValue& value) {
  const auto* text = std::get_if<std::u16string>(&value);
  return text == nullptr ? std::string() : Utf16ToUtf8(*text);
}

std::unique_ptr<DbConnection> Connect() {
  try {
    std::unique_ptr<DbConnection> db = OpenDatabaseServer();
    if (!db->HasIndex("RoomSeats_Key")) {
      // Two servers making the tables at once: the second finds them made.
      for (int attempt = 0;; ++attempt) {
        try {
          for (const char* statement : kSchema) db->Execute(statement);
          break;
        } catch (const DatabaseError&) {
          if (attempt > 0) throw;
        }
      }
    }
    return db;
  } catch (const DatabaseError& failure) {
    throw StoredStateError(std::string("the exam room's state on the database server: ") +
                           failure.what());
  }
}

class DatabaseSeatStore : public SeatStore {
 public:
  explicit DatabaseSeatStore(std::string room) : room_(std::move(room)) { Reconnect(); }

  std::optional<StoredRoom> Load() override {
    std::lock_guard lock(mutex_);
    try {
      const DbRows current =
          Db().Query("SELECT SittingId, Body FROM RoomSittings WHERE Room = ? AND IsCurrent = 1",
                     {Text(room_)});
      if (current.AtEnd()) return std::nullopt;
      StoredRoom room;
      room.sitting = SittingRecordFromJson(Parse(TextOf(current.First()["Body"]), "sitting"));
      sitting_id_ = room.sitting.id;
      std::map<std::string, std::string> stored;
      for (const DbRow& row :
           Db().Query("SELECT SeatNo, Body FROM RoomSeats WHERE Room = ? AND SittingId = ?",
                      {Text(room_), Text(sitting_id_)})
               .TakeAll()) {
        stored[TextOf(row["SeatNo"])] = TextOf(row["Body"]);
      }
      const int parts = PartCount(room.sitting.sitting);
      for (const Candidate& candidate : room.sitting.roster) {
        auto found = stored.find(candidate.SeatNo);
        room.seats.push_back(
            found != stored.end()
                ? SeatFromJson(Parse(found->second, "seat " + candidate.SeatNo), candidate, parts)
                : NewSeat(candidate, parts, !AsksAdmission(room.sitting.sitting)));
      }
      return room;
    } catch (const DatabaseError& failure) {
      broken_ = true;
      throw StoredStateError(Where() + failure.what());
    }
  }

  void Open(const SittingRecord& sitting) override {
    Write([&](DbConnection& db) {
      DbTransaction transaction(db);
      db.Execute("UPDATE RoomSittings SET IsCurrent = 0 WHERE Room = ?", {Text(room_)});
      db.Execute("INSERT INTO RoomSittings (Room, SittingId, Body, IsCurrent) VALUES (?, ?, ?, 1)",
                 {Text(room_), Text(sitting.id), Text(SittingRecordToJson(sitting).dump())});
      transaction.Commit();
      sitting_id_ = sitting.id;
    });
  }

  void SaveSitting(const SittingRecord& sitting) override {
    Write([&](DbConnection& db) {
      db.Execute("UPDATE RoomSittings SET Body = ? WHERE Room = ? AND SittingId = ?",
                 {Text(SittingRecordToJson(sitting).dump()), Text(room_), Text(sitting.id)});
    });
  }

  void SaveSeat(const Seat& seat) override {
    Write([&](DbConnection& db) {
      db.Execute(
          "INSERT INTO RoomSeats (Room, SittingId, SeatNo, Body) VALUES (?, ?, ?, ?) "
          "ON CONFLICT (Room, SittingId, SeatNo) DO UPDATE SET Body = EXCLUDED.Body",
          {Text(room_), Text(sitting_id_), Text(seat.candidate.SeatNo),
           Text(SeatToJson(seat).dump())});
    });
  }

  void AppendAction(const std::string& sitting_id, const Action& action) override {
    Write([&](DbConnection& db) {
      db.Execute("INSERT INTO RoomActions (Room, SittingId, Body) VALUES (?, ?, ?)",
                 {Text(room_), Text(sitting_id), Text(ActionToJson(action).dump())});
    });
  }

  std::vector<Action> Actions(const std::string& sitting_id) override {
    std::lock_guard lock(mutex_);
    std::string log;
    try {
      for (const DbRow& row : Db().Query("SELECT Body FROM RoomActions WHERE Room = ? AND "
                                         "SittingId = ? ORDER BY Line",
                                         {Text(room_), Text(sitting_id)})
                                  .TakeAll()) {
        log += TextOf(row["Body"]) + "\n";
      }
      return ParseActions(log);
    } catch (const DatabaseError& failure) {
      broken_ = true;
      throw StoredStateError(Where() + failure.what());
    } catch (const std::runtime_error& failure) {
      throw StoredStateError(Where() + "its action log: " + failure.what());
    }
  }

  void Probe() override {
    // A write that changes nothing: refused as a seat's would be (a read-only server, a lost
    // connection, a lock another server took).
    Write([&](DbConnection& db) {
      db.Execute("UPDATE RoomSittings SET IsCurrent = IsCurrent WHERE Room = ? AND SittingId = ''",
                 {Text(room_)});
    });
  }

 private:
  std::string Where() const { return "room " + room_ + " on the database server: "; }

  // The connection, made again (with the room's lock taken again) after a failure.
  DbConnection& Db() {
    if (broken_) Reconnect();
    return *db_;
  }

  void Reconnect() {
    db_.reset();  // its lock goes with it, so that the new connection can take it
    std::unique_ptr<DbConnection> db = Connect();
    double taken = 0;
    try {
      taken = std::get<double>(db->Query("SELECT pg_try_advisory_lock(hashtext(?)) AS taken",
                                         {Text("keyin-room:" + room_)})
                                   .First()["taken"]);
    } catch (const DatabaseError& failure) {
      throw StoredStateError(Where() + failure.what());
    }
    if (taken != 1) {
      throw RoomHeldElsewhere("room " + room_ + " is held by another keyin-server");
    }
    db_ = std::move(db);
    broken_ = false;
  }

  template <typename Statements>
  void Write(const Statements& statements) {
    std::lock_guard lock(mutex_);
    try {
      statements(Db());
    } catch (const DatabaseError& failure) {
      broken_ = true;
      throw StoreError(Where() + failure.what());
    } catch (const StoredStateError& failure) {
      throw StoreError(failure.what());
    } catch (const RoomHeldElsewhere& failure) {
      throw StoreError(failure.what());
    }
  }

  static json Parse(const std::string& text, const std::string& what) {
    json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) throw StoredStateError("the stored " + what + " is not JSON");
    return parsed;
  }

  std::string room_;
  std::mutex mutex_;  // one statement at a time on the connection
  std::unique_ptr<DbConnection> db_;
  bool broken_ = false;
  std::string sitting_id_;  // the current sitting's, whose seats SaveSeat writes
};

}  // namespace

std::unique_ptr<SeatStore> MakeDatabaseSeatStore(const std::string& room) {
  return std::make_unique<DatabaseSeatStore>(room);
}

std::vector<std::string> DatabaseRoomNames() {
  std::unique_ptr<DbConnection> db = Connect();
  std::vector<std::string> rooms;
  try {
    for (const DbRow& row :
         db->Query("SELECT DISTINCT Room FROM RoomSittings ORDER BY Room").TakeAll()) {
      rooms.push_back(TextOf(row["Room"]));
    }
  } catch (const DatabaseError& failure) {
    throw StoredStateError(std::string("the rooms on the database server: ") + failure.what());
  }
  return rooms;
}

}  // namespace keyin::server
