#include "server/exam_room.h"

#include <algorithm>
#include <cstdio>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "platform/system_services.h"
#include "platform/text_stream.h"
#include "practice/keyin_records.h"
#include "practice/keyin_statistics.h"
#include "records/review_choice.h"
#include "server/report_page.h"
#include "support/number_text.h"

namespace keyin::server {

using nlohmann::json;

// Orders the writes of one seat's file: a write that finds a newer version already on disk is
// skipped, so the file never goes back in time.
struct ExamRoom::SeatWriter {
  std::mutex mutex;
  std::uint64_t version = 0;  // last version handed out (under the room's lock)
  std::uint64_t written = 0;  // last version on disk (under this writer's lock)
  bool retired = false;       // its sitting was replaced: nothing more is written
};

namespace {

json PartToJson(const PartRecord& part) {
  return {{"started_ms", part.started_ms},
          {"deadline_ms", part.deadline_ms},
          {"added_seconds", part.added_seconds},
          {"text", part.text},
          {"saved_ms", part.saved_ms},
          {"chars", part.chars},
          {"too_fast", part.too_fast},
          {"submitted_ms", part.submitted_ms},
          {"use_time", part.use_time},
          {"scoring", part.scoring},
          {"speed", part.score.speed},
          {"error_rate", part.score.error_rate},
          {"errors", part.score.errors},
          {"typed_chars", part.score.typed_chars},
          {"failure", part.failure},
          {"report", part.report}};
}

PartRecord PartFromJson(const json& object) {
  PartRecord part;
  part.started_ms = object.at("started_ms").get<std::int64_t>();
  part.deadline_ms = object.at("deadline_ms").get<std::int64_t>();
  part.added_seconds = object.at("added_seconds").get<std::int64_t>();
  part.text = object.at("text").get<std::string>();
  part.saved_ms = object.at("saved_ms").get<std::int64_t>();
  part.chars = object.at("chars").get<std::int64_t>();
  part.too_fast = object.at("too_fast").get<bool>();
  part.submitted_ms = object.at("submitted_ms").get<std::int64_t>();
  part.use_time = object.at("use_time").get<int>();
  part.scoring = object.at("scoring").get<std::string>();
  part.score = {object.at("speed").get<std::string>(), object.at("error_rate").get<std::string>(),
                object.at("errors").get<std::string>(),
                object.at("typed_chars").get<std::string>()};
  part.failure = object.at("failure").get<std::string>();
  part.report = object.at("report").get<bool>();
  return part;
}

json SeatToJson(const Seat& seat) {
  return {{"SeatNo", seat.candidate.SeatNo},
          {"token", seat.token},
          {"method", seat.method},
          {"parts", {PartToJson(seat.parts[0]), PartToJson(seat.parts[1])}}};
}

std::string LocalNowText() { return FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss"); }

std::int64_t TimeLeft(const PartRecord& part, std::int64_t now) {
  return std::max<std::int64_t>(part.deadline_ms - now, 0);
}

json MethodList() {
  json list = json::array();
  for (std::u16string_view name : kMethodList) list.push_back(Utf16ToUtf8(name));
  return list;
}

bool IsMethod(const std::string& name) { return MethodIndex(Utf8ToUtf16(name)).has_value(); }

}  // namespace

ExamRoom::ExamRoom(RoomConfig config) : config_(std::move(config)) {
  CreateFolders(config_.state_folder + "/seats");
  Load();
  StartThreads();
}

ExamRoom::~ExamRoom() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

std::string ExamRoom::SeatFilePath(const std::string& seat) const {
  return config_.state_folder + "/seats/" + seat + ".json";
}

std::string ExamRoom::SeatFolder(const Candidate& candidate) const {
  return PathTranslator(config_.program_folder)(SeatScrPath(sitting_, candidate));
}

void ExamRoom::PersistSitting() {
  const json state = {{"id", sitting_id_},
                      {"opened_at", opened_at_},
                      {"ended", ended_},
                      {"sitting", SittingToJson(sitting_)},
                      {"roster", [&] {
                         std::vector<Candidate> roster;
                         for (const std::string& seat : seat_order_) {
                           roster.push_back(seats_.at(seat).candidate);
                         }
                         return RosterToJson(roster);
                       }()}};
  WriteFileDurably(config_.state_folder + "/sitting.json", state.dump(2));
}

void ExamRoom::PersistSeat(std::unique_lock<std::mutex>& lock, const Seat& seat) {
  const std::string bytes = SeatToJson(seat).dump();
  const std::string path = SeatFilePath(seat.candidate.SeatNo);
  std::shared_ptr<SeatWriter> writer = writers_.at(seat.candidate.SeatNo);
  const std::uint64_t version = ++writer->version;
  lock.unlock();
  std::lock_guard write_lock(writer->mutex);
  if (writer->written >= version || writer->retired) return;  // newer state on disk, or none due
  WriteFileDurably(path, bytes);
  writer->written = version;
}

void ExamRoom::Load() {
  const std::optional<std::string> stored = ReadFileIfAny(config_.state_folder + "/sitting.json");
  if (!stored) return;
  const json state = json::parse(*stored);
  sitting_ = SittingFromJson(state.at("sitting"));
  sitting_id_ = state.at("id").get<std::string>();
  opened_at_ = state.at("opened_at").get<std::string>();
  ended_ = state.at("ended").get<bool>();
  paper_ = LoadPaper(sitting_, config_.program_folder);
  for (const Candidate& candidate : RosterFromJson(state.at("roster"))) {
    Seat seat;
    seat.candidate = candidate;
    if (std::optional<std::string> file = ReadFileIfAny(SeatFilePath(candidate.SeatNo))) {
      const json stored_seat = json::parse(*file);
      seat.token = stored_seat.at("token").get<std::string>();
      seat.method = stored_seat.at("method").get<std::string>();
      for (int k = 0; k < 2; ++k) seat.parts[k] = PartFromJson(stored_seat.at("parts").at(k));
    }
    if (!seat.token.empty()) seat_of_token_[seat.token] = candidate.SeatNo;
    for (int k = 0; k < 2; ++k) {
      // A part that was waiting or being scored when the server stopped is scored now.
      if (seat.parts[k].scoring == "queued" || seat.parts[k].scoring == "running") {
        seat.parts[k].scoring = "queued";
        queue_.push_back({candidate.SeatNo, k + 1});
      }
    }
    seat_order_.push_back(candidate.SeatNo);
    writers_[candidate.SeatNo] = std::make_shared<SeatWriter>();
    seats_.emplace(candidate.SeatNo, std::move(seat));
  }
  open_ = true;
}

void ExamRoom::StartThreads() {
  for (int i = 0; i < std::max(config_.scoring_workers, 1); ++i) {
    threads_.emplace_back([this] { ScoringWorker(); });
  }
  threads_.emplace_back([this] { DeadlineWatch(); });
}

void ExamRoom::OpenSitting(const Sitting& sitting, std::vector<Candidate> roster) {
  std::unique_lock lock(mutex_);
  if (open_ && !ended_) {
    throw RoomError(409, "已有進行中的場次；請先結束它再建立新的場次");
  }
  if (jobs_in_flight_ > 0 || !queue_.empty()) {
    throw RoomError(409, "上一場次還在評分，請稍候再試");
  }
  InstallCustomText(sitting, config_.program_folder);
  Paper paper = LoadPaper(sitting, config_.program_folder);
  // A write of the old sitting still on its way must not land among the new sitting's files.
  for (auto& [seat, writer] : writers_) {
    std::lock_guard write_lock(writer->mutex);
    writer->retired = true;
  }
  // The ended sitting keeps its files, moved aside under its own id.
  if (open_) {
    const std::string archive = config_.state_folder + "/ended-" + sitting_id_;
    CreateFolders(archive);
    RenamePath(config_.state_folder + "/sitting.json", archive + "/sitting.json");
    RenamePath(config_.state_folder + "/seats", archive + "/seats");
    CreateFolders(config_.state_folder + "/seats");
  } else {
    // Seat files of an earlier sitting that never got its sitting.json are not this sitting's.
    for (const std::string& name : ListFiles(config_.state_folder + "/seats")) {
      DeleteFile(config_.state_folder + "/seats/" + name);
    }
  }
  sitting_ = sitting;
  paper_ = std::move(paper);
  opened_at_ = LocalNowText();
  sitting_id_ = FormatDateTime(LocalNow(), "yyyyMMdd-HHmmss") + "-" + RandomHex(3);
  ended_ = false;
  seat_order_.clear();
  seats_.clear();
  writers_.clear();
  seat_of_token_.clear();
  for (Candidate& candidate : roster) {
    Seat seat;
    seat.candidate = std::move(candidate);
    const std::string number = seat.candidate.SeatNo;
    seat_order_.push_back(number);
    writers_[number] = std::make_shared<SeatWriter>();
    seats_.emplace(number, std::move(seat));
  }
  open_ = true;
  PersistSitting();
}

void ExamRoom::OpenOrResume(const Sitting& sitting, std::vector<Candidate> roster) {
  {
    std::lock_guard lock(mutex_);
    if (open_) {
      std::vector<Candidate> stored;
      for (const std::string& seat : seat_order_) stored.push_back(seats_.at(seat).candidate);
      if (sitting_ == sitting && stored == roster) return;
      if (!ended_) {
        throw RoomError(409, "state folder " + config_.state_folder +
                                 " holds another sitting that has not ended; end it first or "
                                 "use another --state folder");
      }
    }
  }
  OpenSitting(sitting, std::move(roster));
}

void ExamRoom::RequireOpen() const {
  if (!open_) throw RoomError(409, "目前沒有開放的場次");
}

json ExamRoom::SittingInfo() const {
  std::lock_guard lock(mutex_);
  if (!open_) return {{"open", false}};
  json info = SittingToJson(sitting_);
  return {{"open", true},
          {"ended", ended_},
          {"id", sitting_id_},
          {"opened_at", opened_at_},
          {"parts", PartCount(sitting_)},
          {"sitting", info},
          {"seats", seat_order_.size()}};
}

Seat& ExamRoom::SeatOrThrow(const std::string& seat) {
  RequireOpen();
  auto found = seats_.find(seat);
  if (found == seats_.end()) throw RoomError(404, "名單上沒有這個座號");
  return found->second;
}

std::int64_t ExamRoom::AllowedSeconds(const PartRecord& part) const {
  return std::stoll(sitting_.TotTime) + part.added_seconds;
}

// The part a seat works on now or next: the one being typed, else the first not submitted;
// 0 when every part is submitted.
int ExamRoom::CurrentPart(const Seat& seat) const {
  for (int k = 0; k < PartCount(sitting_); ++k) {
    if (!seat.parts[k].Submitted()) return k + 1;
  }
  return 0;
}

std::string ExamRoom::SignIn(const std::string& user_id) {
  std::unique_lock lock(mutex_);
  RequireOpen();
  auto found = std::find_if(seats_.begin(), seats_.end(), [&](const auto& entry) {
    return entry.second.candidate.UserID == user_id;
  });
  if (found == seats_.end()) {
    throw RoomError(401, "名單上找不到這個考生編號，請再檢查一次，或請監考老師協助");
  }
  Seat& seat = found->second;
  if (!seat.token.empty()) seat_of_token_.erase(seat.token);
  seat.token = RandomHex(24);
  seat_of_token_[seat.token] = seat.candidate.SeatNo;
  seat.last_seen_ms = UnixMillisNow();
  const std::string token = seat.token;
  PersistSeat(lock, seat);
  return token;
}

std::optional<std::string> ExamRoom::SeatOfToken(const std::string& token) {
  std::lock_guard lock(mutex_);
  auto found = seat_of_token_.find(token);
  if (found == seat_of_token_.end()) return std::nullopt;
  seats_.at(found->second).last_seen_ms = UnixMillisNow();
  return found->second;
}

json ExamRoom::StateOf(const Seat& seat, std::int64_t now) const {
  const Candidate& c = seat.candidate;
  json state = {{"UserID", c.UserID},
                {"StuName", c.StuName},
                {"ClassName", c.ClassName},
                {"SeatNo", c.SeatNo},
                {"method", seat.method},
                {"methods", MethodList()},
                {"parts", PartCount(sitting_)},
                {"TotTime", std::stoll(sitting_.TotTime)},
                {"ShowResults", sitting_.ShowResults},
                {"ExamPaperNo", sitting_.ExamPaperNo}};
  const int current = CurrentPart(seat);
  if (current == 0 || (ended_ && !seat.parts[current - 1].Typing())) {
    state["stage"] = "done";
  } else if (seat.method.empty()) {
    state["stage"] = "method";
  } else if (seat.parts[current - 1].Typing()) {
    const PartRecord& part = seat.parts[current - 1];
    state["stage"] = "typing";
    state["part"] = current;
    state["time_left_ms"] = TimeLeft(part, now);
    state["text"] = part.text;
    state["reference"] = paper_.parts[current - 1];
  } else {
    state["stage"] = "ready";
    state["part"] = current;
    state["allowed_seconds"] = AllowedSeconds(seat.parts[current - 1]);
  }
  if (state["stage"] == "done") {
    json parts = json::array();
    bool all_scored = true;
    for (int k = 0; k < PartCount(sitting_); ++k) {
      const PartRecord& part = seat.parts[k];
      json entry = {{"part", k + 1}, {"taken", part.Submitted()}, {"scoring", part.scoring}};
      if (part.scoring != "scored" && part.scoring != "failed" && part.Submitted()) {
        all_scored = false;
      }
      if (sitting_.ShowResults && part.scoring == "scored") {
        entry["speed"] = part.score.speed;
        entry["error_rate"] = part.score.error_rate;
        entry["errors"] = part.score.errors;
        entry["typed_chars"] = part.score.typed_chars;
        entry["use_time"] = part.use_time;
        entry["report"] = part.report;
      }
      parts.push_back(entry);
    }
    state["results"] = parts;
    state["scored"] = all_scored;
    const PartRecord& one = seat.parts[0];
    const PartRecord& two = seat.parts[1];
    if (sitting_.ShowResults && PartCount(sitting_) == 2 && one.scoring == "scored" &&
        two.scoring == "scored") {
      const ReviewPair review = SetScr(LeadingNumber(Utf8ToUtf16(one.score.speed)),
                                       LeadingNumber(Utf8ToUtf16(one.score.error_rate)),
                                       LeadingNumber(Utf8ToUtf16(two.score.speed)),
                                       LeadingNumber(Utf8ToUtf16(two.score.error_rate)));
      state["review"] = {{"speed", Utf16ToUtf8(FormatNumber(review.ReviewScore))},
                         {"error_rate", Utf16ToUtf8(FormatNumber(review.ReviewErr))}};
    }
  }
  return state;
}

json ExamRoom::CandidateState(const std::string& seat) {
  std::lock_guard lock(mutex_);
  return StateOf(SeatOrThrow(seat), UnixMillisNow());
}

json ExamRoom::ChooseMethod(const std::string& seat_number, const std::string& method) {
  if (!IsMethod(method)) throw RoomError(400, "請從清單選擇輸入法");
  std::unique_lock lock(mutex_);
  Seat& seat = SeatOrThrow(seat_number);
  if (seat.parts[0].Started()) throw RoomError(409, "測驗開始後不能再換輸入法");
  seat.method = method;
  json state = StateOf(seat, UnixMillisNow());
  PersistSeat(lock, seat);
  return state;
}

json ExamRoom::StartPart(const std::string& seat_number, int part_number) {
  std::unique_lock lock(mutex_);
  Seat& seat = SeatOrThrow(seat_number);
  const std::int64_t now = UnixMillisNow();
  if (part_number < 1 || part_number > PartCount(sitting_)) {
    throw RoomError(400, "沒有這個測驗部分");
  }
  PartRecord& part = seat.parts[part_number - 1];
  // A retried start of the part being typed gives the same part and the same deadline.
  if (part.Typing() && !ended_) return StateOf(seat, now);
  if (ended_) throw RoomError(409, "考試已經結束");
  if (seat.method.empty()) throw RoomError(409, "請先選擇輸入法");
  if (CurrentPart(seat) != part_number) throw RoomError(409, "請依順序作答，這一部分現在不能開始");
  part.started_ms = now;
  part.deadline_ms = now + AllowedSeconds(part) * 1000;
  part.saved_ms = now;
  json state = StateOf(seat, now);
  PersistSeat(lock, seat);
  return state;
}

json ExamRoom::SaveDraft(const std::string& seat_number, int part_number, const std::string& text) {
  if (text.size() > config_.answer_limit_bytes) throw RoomError(413, "答案太長，無法儲存");
  std::unique_lock lock(mutex_);
  Seat& seat = SeatOrThrow(seat_number);
  const std::int64_t now = UnixMillisNow();
  if (part_number < 1 || part_number > 2 || !seat.parts[part_number - 1].Typing()) {
    throw RoomError(409, "這一部分不在作答中");
  }
  PartRecord& part = seat.parts[part_number - 1];
  if (now > part.deadline_ms + config_.grace_ms) throw RoomError(409, "時間已到，這一部分已交卷");
  // The page saves every few seconds whether or not anything changed: an unchanged text only
  // says the browser is there.
  if (text == part.text) {
    return {
        {"saved_ms", part.saved_ms}, {"chars", part.chars}, {"time_left_ms", TimeLeft(part, now)}};
  }
  const std::int64_t chars = CountTypedCharacters(text);
  if (GrowsTooFast(part.chars, part.saved_ms, chars, now)) part.too_fast = true;
  part.text = text;
  part.chars = chars;
  part.saved_ms = now;
  json reply = {{"saved_ms", now}, {"chars", chars}, {"time_left_ms", TimeLeft(part, now)}};
  PersistSeat(lock, seat);
  return reply;
}

void ExamRoom::SubmitLocked(Seat& seat, int part_number, std::int64_t now) {
  PartRecord& part = seat.parts[part_number - 1];
  part.submitted_ms = now;
  part.use_time = UseTimeSeconds(part.started_ms, part.deadline_ms, now);
  part.scoring = "queued";
  queue_.push_back({seat.candidate.SeatNo, part_number});
  changed_.notify_all();
}

json ExamRoom::Submit(const std::string& seat_number, int part_number,
                      const std::optional<std::string>& text) {
  if (text && text->size() > config_.answer_limit_bytes) {
    throw RoomError(413, "答案太長，無法儲存");
  }
  std::unique_lock lock(mutex_);
  Seat& seat = SeatOrThrow(seat_number);
  const std::int64_t now = UnixMillisNow();
  if (part_number < 1 || part_number > PartCount(sitting_) ||
      !seat.parts[part_number - 1].Started()) {
    throw RoomError(409, "這一部分還沒開始");
  }
  PartRecord& part = seat.parts[part_number - 1];
  // A second submit (a double click, a retry) finds the part submitted and changes nothing.
  if (part.Submitted()) return StateOf(seat, now);
  if (text && now <= part.deadline_ms + config_.grace_ms) {
    const std::int64_t chars = CountTypedCharacters(*text);
    if (GrowsTooFast(part.chars, part.saved_ms, chars, now)) part.too_fast = true;
    part.text = *text;
    part.chars = chars;
    part.saved_ms = now;
  }
  SubmitLocked(seat, part_number, now);
  json state = StateOf(seat, now);
  PersistSeat(lock, seat);
  return state;
}

json ExamRoom::EndSitting() {
  std::vector<std::string> changed;
  {
    std::unique_lock lock(mutex_);
    RequireOpen();
    if (!ended_) {
      const std::int64_t now = UnixMillisNow();
      ended_ = true;
      for (auto& [number, seat] : seats_) {
        for (int k = 0; k < 2; ++k) {
          if (seat.parts[k].Typing()) {
            SubmitLocked(seat, k + 1, now);
            changed.push_back(number);
          }
        }
      }
      PersistSitting();
    }
  }
  for (const std::string& number : changed) {
    std::unique_lock lock(mutex_);
    PersistSeat(lock, seats_.at(number));
  }
  return SittingInfo();
}

json ExamRoom::BoardEntry(const Seat& seat, std::int64_t now) const {
  const Candidate& c = seat.candidate;
  const int current = CurrentPart(seat);
  json entry = {{"SeatNo", c.SeatNo},
                {"UserID", c.UserID},
                {"StuName", c.StuName},
                {"ClassName", c.ClassName},
                {"method", seat.method},
                {"signed_in", !seat.token.empty()},
                {"too_fast", seat.parts[0].too_fast || seat.parts[1].too_fast}};
  const PartRecord* part = current == 0 ? nullptr : &seat.parts[current - 1];
  if (part != nullptr && part->Typing() && !ended_) {
    entry["state"] = "typing";
    entry["part"] = current;
    entry["chars"] = part->chars;
    entry["time_left_ms"] = TimeLeft(*part, now);
    entry["disconnected"] = now - seat.last_seen_ms > config_.disconnected_after_ms;
  } else if (current == 0 || ended_) {
    bool scoring = false;
    std::int64_t chars = 0;
    for (const PartRecord& p : seat.parts) {
      scoring = scoring || p.scoring == "queued" || p.scoring == "running";
      chars += p.chars;
    }
    const bool taken = seat.parts[0].Started();
    entry["state"] = scoring ? "scoring" : taken ? "done" : "absent";
    entry["chars"] = chars;
    entry["disconnected"] = false;
  } else {
    entry["state"] = "waiting";
    entry["part"] = current;
    entry["chars"] = current > 1 ? seat.parts[0].chars : 0;
    entry["time_left_ms"] = AllowedSeconds(*part) * 1000;
    entry["disconnected"] = false;
  }
  json parts = json::array();
  for (int k = 0; k < PartCount(sitting_); ++k) {
    const PartRecord& p = seat.parts[k];
    parts.push_back({{"part", k + 1},
                     {"scoring", p.scoring},
                     {"speed", p.score.speed},
                     {"error_rate", p.score.error_rate},
                     {"report", p.report},
                     {"failure", p.failure}});
  }
  entry["parts"] = parts;
  return entry;
}

json ExamRoom::Board() {
  std::lock_guard lock(mutex_);
  RequireOpen();
  const std::int64_t now = UnixMillisNow();
  json seats = json::array();
  for (const std::string& number : seat_order_) seats.push_back(BoardEntry(seats_.at(number), now));
  return {{"ended", ended_},
          {"id", sitting_id_},
          {"parts", PartCount(sitting_)},
          {"sitting", SittingToJson(sitting_)},
          {"seats", seats}};
}

json ExamRoom::SeatDetail(const std::string& number) {
  std::lock_guard lock(mutex_);
  const Seat& seat = SeatOrThrow(number);
  json detail = BoardEntry(seat, UnixMillisNow());
  json texts = json::array();
  for (int k = 0; k < PartCount(sitting_); ++k) texts.push_back(seat.parts[k].text);
  detail["texts"] = texts;
  return detail;
}

json ExamRoom::AddTime(const std::string& number, std::int64_t seconds) {
  if (seconds < 1 || seconds > 3600) throw RoomError(400, "加時須是 1 到 3600 秒");
  std::unique_lock lock(mutex_);
  Seat& seat = SeatOrThrow(number);
  const std::int64_t now = UnixMillisNow();
  if (ended_) throw RoomError(409, "考試已經結束");
  const int current = CurrentPart(seat);
  if (current == 0) throw RoomError(409, "這位考生已經交卷");
  PartRecord& part = seat.parts[current - 1];
  part.added_seconds += seconds;
  if (part.Typing()) part.deadline_ms += seconds * 1000;
  json entry = BoardEntry(seat, now);
  PersistSeat(lock, seat);
  return entry;
}

std::string ExamRoom::Report(const std::string& number, int part_number, bool by_proctor) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    const Seat& seat = SeatOrThrow(number);
    if (part_number < 1 || part_number > PartCount(sitting_)) throw RoomError(404, "沒有這個部分");
    if (!by_proctor && (!sitting_.ShowResults || CurrentPart(seat) != 0)) {
      throw RoomError(403, "這一場次不開放查看成績");
    }
    const PartRecord& part = seat.parts[part_number - 1];
    if (!part.report) throw RoomError(404, "這一部分沒有成績報告");
    path = SeatFolder(seat.candidate) + "/CTEST-" + std::to_string(part_number) + ".html";
  }
  std::optional<std::string> html = ReadFileIfAny(path);
  if (!html) throw RoomError(404, "這一部分沒有成績報告");
  return *html;
}

StoredResults ExamRoom::Results() {
  Sitting sitting;
  std::vector<Candidate> roster;
  std::string opened_at;
  {
    std::lock_guard lock(mutex_);
    RequireOpen();
    sitting = sitting_;
    opened_at = opened_at_;
    for (const std::string& number : seat_order_) roster.push_back(seats_.at(number).candidate);
  }
  return ReadStoredResults(config_.program_folder, sitting, roster, opened_at);
}

void ExamRoom::WaitUntilScored() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return queue_.empty() && jobs_in_flight_ == 0; });
}

void ExamRoom::DeadlineWatch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    changed_.wait_for(lock, std::chrono::milliseconds(250));
    if (stopping_ || !open_) continue;
    const std::int64_t now = UnixMillisNow();
    std::vector<std::string> overdue;
    for (auto& [number, seat] : seats_) {
      for (int k = 0; k < 2; ++k) {
        const PartRecord& part = seat.parts[k];
        if (part.Typing() && now > part.deadline_ms + config_.grace_ms) {
          SubmitLocked(seat, k + 1, now);
          overdue.push_back(number);
        }
      }
    }
    for (const std::string& number : overdue) {
      try {
        PersistSeat(lock, seats_.at(number));
      } catch (const std::exception&) {
        // The part stays submitted in memory and is scored; the next change retries the write.
      }
      if (!lock.owns_lock()) lock.lock();
    }
  }
}

void ExamRoom::ScoringWorker() {
  std::unique_lock lock(mutex_);
  while (true) {
    auto ready = queue_.end();
    changed_.wait(lock, [&] {
      ready = std::find_if(queue_.begin(), queue_.end(),
                           [&](const Job& job) { return !seat_busy_[job.seat]; });
      return stopping_ || ready != queue_.end();
    });
    if (stopping_) return;
    const Job job = *ready;
    queue_.erase(ready);
    seat_busy_[job.seat] = true;
    ++jobs_in_flight_;
    lock.unlock();
    try {
      Score(job);
    } catch (const std::exception&) {
      // Score records its own failures; a failure to persist them leaves the part queued on
      // disk, and the next start of the server scores it again.
    }
    lock.lock();
    seat_busy_[job.seat] = false;
    --jobs_in_flight_;
    changed_.notify_all();
  }
}

void ExamRoom::Score(const Job& job) {
  Sitting sitting;
  Candidate candidate;
  std::string method, text, folder;
  int use_time = 0;
  std::int64_t allowed = 0;
  {
    std::unique_lock lock(mutex_);
    Seat& seat = seats_.at(job.seat);
    PartRecord& part = seat.parts[job.part - 1];
    part.scoring = "running";
    sitting = sitting_;
    candidate = seat.candidate;
    method = seat.method;
    text = part.text;
    use_time = part.use_time;
    allowed = AllowedSeconds(part);
    folder = SeatFolder(candidate);
    PersistSeat(lock, seat);
  }

  std::string failure;
  PartScore score;
  bool report = false;
  const std::string name = "CTEST-" + std::to_string(job.part);
  const std::string arguments =
      ArgumentString(sitting, candidate, job.part, static_cast<int>(allowed), use_time,
                     SeatScrPath(sitting, candidate));
  try {
    CreateFolders(folder);
    const std::vector<std::string> lines = AnswerLines(text);
    {
      TextWriter answer(folder + "/" + name);
      for (const std::string& line : lines) answer.WriteLine(Utf8ToUtf16(line));
      answer.Close();
    }
    // The record of the method used, for the input-method statistics. They are secondary to the
    // score: a record that cannot be written is reported and the part is scored all the same.
    try {
      // The folder the input-method statistics read for this kind of run.
      const ModeFolder mode = GetKeyinSelection(KindOf(sitting), u"1").mode;
      CreateFolders(ModeFolderPath(config_.program_folder, mode));
      const std::string path = KeyinRecordPath(config_.program_folder, mode, job.part);
      for (const std::string& line : lines) {
        const std::u16string typed = KeyinEntryText(Utf8ToUtf16(line));
        for (std::size_t start = 0; start < typed.size(); start += 200) {
          AppendKeyinRecord(path, Utf8ToUtf16(candidate.UserID),
                            {{typed.substr(start, 200), Utf8ToUtf16(method)}});
        }
      }
    } catch (const std::exception& error) {
      std::fprintf(stderr, "keyin-server: seat %s part %d: keyin record not written: %s\n",
                   candidate.SeatNo.c_str(), job.part, error.what());
    }
    // Stale reports of an earlier run must not pass for this one's.
    for (const char* extension : {".TOT", ".html"}) {
      if (IsNormalFile(folder + "/" + name + extension)) {
        DeleteFile(folder + "/" + name + extension);
      }
    }
    ChildOptions options;
    options.time_limit = config_.run_time_limit;
    options.environment["KEYIN_HOME"] = config_.program_folder;
    const ChildResult run = RunChild(config_.scorer, {arguments}, options);
    std::vector<std::string> summary;
    if (IsNormalFile(folder + "/" + name + ".TOT")) {
      TextReader reader(folder + "/" + name + ".TOT");
      while (!reader.AtEnd()) summary.push_back(Utf16ToUtf8(reader.ReadLine()));
    }
    const std::optional<PartScore> read = ReadScoreSummary(summary);
    if (run.timed_out) {
      failure = "評分程式逾時";
    } else if (run.exit_status != 0 || !read) {
      failure = "評分程式結束狀態 " + std::to_string(run.exit_status) +
                (run.err.empty() ? std::string() : "：" + run.err.substr(0, 500));
    } else {
      score = *read;
      report = WriteReportPage(config_.tool, arguments, folder + "/" + name + ".html", options);
    }
  } catch (const std::exception& error) {
    failure = std::string("評分失敗：") + error.what();
  }

  std::unique_lock lock(mutex_);
  Seat& seat = seats_.at(job.seat);
  PartRecord& part = seat.parts[job.part - 1];
  part.scoring = failure.empty() ? "scored" : "failed";
  part.score = score;
  part.failure = failure;
  part.report = report;
  PersistSeat(lock, seat);
}

}  // namespace keyin::server
