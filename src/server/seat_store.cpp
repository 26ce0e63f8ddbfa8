#include "server/seat_store.h"

#include "platform/append_file.h"
#include "platform/clock.h"
#include "platform/digest.h"
#include "platform/durable_file.h"
#include "platform/file_error.h"
#include "platform/file_system.h"
#include "platform/system_services.h"

namespace keyin::server {

using nlohmann::json;

namespace {

json PartToJson(const PartRecord& part) {
  return {{"started_ms", part.started_ms},
          {"deadline_ms", part.deadline_ms},
          {"added_seconds", part.added_seconds},
          {"text", part.text},
          {"saved_ms", part.saved_ms},
          {"chars", part.chars},
          {"too_fast", part.too_fast},
          {"version", part.version},
          {"window", part.window},
          {"window_seq", part.window_seq},
          {"submitted_ms", part.submitted_ms},
          {"use_time", part.use_time},
          {"scoring", ScoringStateName(part.scoring)},
          {"run_id", part.run_id},
          {"keyin_offset", part.keyin_offset},
          {"speed", part.score.speed},
          {"error_rate", part.score.error_rate},
          {"errors", part.score.errors},
          {"typed_chars", part.score.typed_chars},
          {"failure", part.failure},
          {"report", part.report}};
}

// Fields added since the first stored form default to what a part of that form meant.
PartRecord PartFromJson(const json& object) {
  PartRecord part;
  part.started_ms = object.at("started_ms").get<std::int64_t>();
  part.deadline_ms = object.at("deadline_ms").get<std::int64_t>();
  part.added_seconds = object.at("added_seconds").get<std::int64_t>();
  part.text = object.at("text").get<std::string>();
  part.saved_ms = object.at("saved_ms").get<std::int64_t>();
  part.chars = object.at("chars").get<std::int64_t>();
  part.too_fast = object.at("too_fast").get<bool>();
  part.version = object.value("version", std::int64_t{0});
  part.window = object.value("window", std::string());
  part.window_seq = object.value("window_seq", std::int64_t{0});
  part.submitted_ms = object.at("submitted_ms").get<std::int64_t>();
  part.use_time = object.at("use_time").get<int>();
  const std::optional<ScoringState> scoring =
      ScoringStateNamed(object.at("scoring").get<std::string>());
  if (!scoring) throw StoredStateError("unknown scoring state " + object.at("scoring").dump());
  part.scoring = *scoring;
  part.run_id = object.value("run_id", std::string());
  part.keyin_offset = object.value("keyin_offset", std::int64_t{-1});
  part.score = {object.at("speed").get<std::string>(), object.at("error_rate").get<std::string>(),
                object.at("errors").get<std::string>(),
                object.at("typed_chars").get<std::string>()};
  part.failure = object.at("failure").get<std::string>();
  part.report = object.at("report").get<bool>();
  return part;
}

class FileSeatStore : public SeatStore {
 public:
  explicit FileSeatStore(std::string folder) : folder_(std::move(folder)) {
    CreateFolders(SeatsFolder());
  }

  std::optional<StoredRoom> Load() override {
    const std::optional<std::string> stored = Read(SittingPath());
    if (!stored) return std::nullopt;
    StoredRoom room;
    room.sitting = SittingRecordFromJson(Parse(*stored, SittingPath()));
    // An Open that stopped after moving the seats aside: finish it, no sitting is open.
    if (IsFolder(EndedFolder(room.sitting.id) + "/seats")) {
      Move(SittingPath(), EndedFolder(room.sitting.id) + "/sitting.json");
      CreateFolders(SeatsFolder());
      return std::nullopt;
    }
    const int parts = PartCount(room.sitting.sitting);
    for (const Candidate& candidate : room.sitting.roster) {
      const std::string path = SeatPath(candidate.SeatNo);
      const std::optional<std::string> file = Read(path);
      room.seats.push_back(file ? SeatFromJson(Parse(*file, path), candidate, parts)
                                : NewSeat(candidate, parts, !AsksAdmission(room.sitting.sitting)));
    }
    return room;
  }

  void Open(const SittingRecord& sitting) override {
    try {
      if (const std::optional<std::string> stored = ReadFileIfAny(SittingPath())) {
        const SittingRecord before = SittingRecordFromJson(Parse(*stored, SittingPath()));
        const std::string aside = EndedFolder(before.id);
        CreateFolders(aside);
        // The seats first: a crash after this is finished by Load.
        if (IsFolder(SeatsFolder())) RenamePath(SeatsFolder(), aside + "/seats");
        RenamePath(SittingPath(), aside + "/sitting.json");
      } else if (!ListFiles(SeatsFolder()).empty()) {
        // Seats of no sitting: kept aside, never taken for this sitting's.
        RenamePath(SeatsFolder(), folder_ + "/unowned-" +
                                      FormatDateTime(LocalNow(), "yyyyMMdd-HHmmss") + "-" +
                                      RandomHex(3));
      }
      CreateFolders(SeatsFolder());
      WriteFileDurably(SittingPath(), SittingRecordToJson(sitting).dump(2));
    } catch (const FileError& failure) {
      throw StoreError(failure.what());
    }
  }

  void SaveSitting(const SittingRecord& sitting) override {
    Write(SittingPath(), SittingRecordToJson(sitting).dump(2));
  }

  void SaveSeat(const Seat& seat) override {
    Write(SeatPath(seat.candidate.SeatNo), SeatToJson(seat).dump());
  }

  void AppendAction(const std::string& sitting_id, const Action& action) override {
    try {
      AppendFile log(ActionsPath(sitting_id));
      log.Append(ActionToJson(action).dump());
      log.Sync();
    } catch (const FileError& failure) {
      throw StoreError(failure.what());
    }
  }

  void Probe() override {
    const std::string path = SeatsFolder() + "/.probe";
    Write(path, "ok\n");
    try {
      DeleteFile(path);  // the seats folder holds seats only
    } catch (const FileError& failure) {
      throw StoreError(failure.what());
    }
  }

  std::vector<Action> Actions(const std::string& sitting_id) override {
    const std::optional<std::string> log = Read(ActionsPath(sitting_id));
    try {
      return log ? ParseActions(*log) : std::vector<Action>{};
    } catch (const std::runtime_error& failure) {
      throw StoredStateError(ActionsPath(sitting_id) + ": " + failure.what());
    }
  }

 private:
  std::string SittingPath() const { return folder_ + "/sitting.json"; }
  std::string SeatsFolder() const { return folder_ + "/seats"; }
  std::string SeatPath(const std::string& seat) const {
    return SeatsFolder() + "/" + seat + ".json";
  }
  std::string EndedFolder(const std::string& id) const { return folder_ + "/ended-" + id; }
  std::string ActionsPath(const std::string& id) const {
    return folder_ + "/actions-" + id + ".jsonl";
  }

  static std::optional<std::string> Read(const std::string& path) {
    try {
      return ReadFileIfAny(path);
    } catch (const FileError& failure) {
      throw StoredStateError(failure.what());
    }
  }

  static json Parse(const std::string& text, const std::string& path) {
    json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded()) throw StoredStateError(path + " is not JSON");
    return parsed;
  }

  static void Write(const std::string& path, const std::string& bytes) {
    try {
      WriteFileDurably(path, bytes);
    } catch (const FileError& failure) {
      throw StoreError(failure.what());
    }
  }

  static void Move(const std::string& from, const std::string& to) {
    try {
      RenamePath(from, to);
    } catch (const FileError& failure) {
      throw StoredStateError(failure.what());
    }
  }

  std::string folder_;
};

}  // namespace

std::unique_ptr<SeatStore> MakeFileSeatStore(const std::string& state_folder) {
  try {
    return std::make_unique<FileSeatStore>(state_folder);
  } catch (const FileError& failure) {
    throw StoredStateError(failure.what());
  }
}

json SeatToJson(const Seat& seat) {
  json parts = json::array();
  for (const PartRecord& part : seat.parts) parts.push_back(PartToJson(part));
  return {{"SeatNo", seat.candidate.SeatNo}, {"token_hash", seat.token_hash},
          {"move_hash", seat.move_hash},     {"admitted", seat.admitted},
          {"method", seat.method},           {"parts", parts}};
}

Seat SeatFromJson(const json& object, const Candidate& candidate, int parts) {
  try {
    if (object.at("SeatNo").get<std::string>() != candidate.SeatNo) {
      throw StoredStateError("the file of seat " + candidate.SeatNo + " names another seat");
    }
    Seat seat = NewSeat(candidate, parts);
    if (object.contains("token_hash")) {
      seat.token_hash = object.at("token_hash").get<std::string>();
    } else if (const std::string token = object.value("token", std::string()); !token.empty()) {
      seat.token_hash = Sha256Hex(token);  // a seat written before tokens were kept as hashes
    }
    seat.move_hash = object.value("move_hash", std::string());
    seat.admitted = object.value("admitted", true);  // seats written before admission was asked
    seat.method = object.at("method").get<std::string>();
    const json& stored = object.at("parts");
    if (stored.size() < seat.parts.size()) {
      throw StoredStateError("the file of seat " + candidate.SeatNo + " has too few parts");
    }
    for (std::size_t k = 0; k < seat.parts.size(); ++k) seat.parts[k] = PartFromJson(stored[k]);
    return seat;
  } catch (const json::exception& failure) {
    throw StoredStateError("the file of seat " + candidate.SeatNo +
                           " cannot be read: " + failure.what());
  }
}

json SittingRecordToJson(const SittingRecord& record) {
  return {{"id", record.id},
          {"opened_at", record.opened_at},
          {"ended", record.ended},
          {"opened_early", record.opened_early},
          {"sitting", SittingToJson(record.sitting)},
          {"roster", RosterToJson(record.roster)}};
}

SittingRecord SittingRecordFromJson(const json& object) {
  try {
    SittingRecord record;
    record.id = object.at("id").get<std::string>();
    record.opened_at = object.at("opened_at").get<std::string>();
    record.ended = object.at("ended").get<bool>();
    record.opened_early = object.value("opened_early", false);
    record.sitting = SittingFromJson(object.at("sitting"));
    record.roster = RosterFromJson(object.at("roster"));
    return record;
  } catch (const json::exception& failure) {
    throw StoredStateError(std::string("the stored sitting cannot be read: ") + failure.what());
  } catch (const SittingError& failure) {
    throw StoredStateError(std::string("the stored sitting cannot be read: ") + failure.what());
  }
}

}  // namespace keyin::server
