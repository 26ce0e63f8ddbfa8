#include "server/exam_room.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "platform/clock.h"
#include "platform/digest.h"
#include "platform/durable_file.h"
#include "platform/paths.h"
#include "platform/system_services.h"
#include "records/finished_runs.h"
#include "records/results_query.h"
#include "records/sitting_candidates.h"
#include "server/room_views.h"

namespace keyin::server {

using nlohmann::json;

// A seat and what the room knows of it beyond its records.
struct ExamRoom::Slot {
  std::mutex change;  // one change of this seat at a time, held while the store writes it
  // Under the room's mutex:
  Seat seat;
  std::int64_t last_seen_ms = 0;
  bool storage_trouble = false;
  bool scoring = false;  // a job of this seat is running: its parts are scored in order
  bool retired = false;  // its sitting was replaced: nothing more is written for it
};

namespace {

constexpr char kStorageRefused[] =
    "答案暫時無法儲存，請通知監考老師。這個頁面會自動再試，請繼續作答。";
constexpr std::int64_t kRetryMs = 1000;
constexpr char kMovedAway[] =
    "監考老師已同意這個座位改在另一台電腦作答，這個視窗已停止；答案都已轉到新的電腦。";
constexpr char kMoveRefused[] = "這台電腦沒有得到監考老師同意接手這個座位；如有疑問請舉手。";
// Stopped sessions remembered, to tell their browsers why; beyond this they only get 401.
constexpr std::size_t kStoppedSessionsKept = 10000;

void Log(const std::string& line) { std::fprintf(stderr, "keyin-server: %s\n", line.c_str()); }

std::string LocalNowText() { return FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss"); }

// A room alone shares its scoring with nobody: its own runs, as many as its workers.
RoomConfig WithScoringShare(RoomConfig config) {
  if (!config.scoring_share) {
    config.scoring_share = std::make_shared<ScoringShare>(std::max(config.scoring_workers, 1));
  }
  return config;
}

}  // namespace

ExamRoom::ExamRoom(RoomConfig config)
    : config_(WithScoringShare(std::move(config))),
      store_(config_.make_store ? config_.make_store() : MakeFileSeatStore(config_.state_folder)),
      jobs_(
          {config_.program_folder, config_.scorer, config_.run_time_limit, config_.scoring_share}) {
  if (config_.data_roots.empty()) config_.data_roots.push_back(config_.program_folder);
  for (std::string& root : config_.data_roots) root = AbsolutePath(root);
  if (std::optional<StoredRoom> stored = store_->Load()) {
    CheckDataRoots(stored->sitting.sitting);
    Paper paper = LoadPaper(stored->sitting.sitting, config_.program_folder);
    Install(stored->sitting, std::move(paper), stored->seats, store_->Actions(stored->sitting.id));
    // A sitting opened before rosters were recorded gets its own now; one that cannot be recorded
    // still runs (its rows only lack a class to be found by).
    try {
      RecordRoster(stored->sitting);
    } catch (const RoomError&) {
    }
  }
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

// Makes the record the room's sitting with these seats, and queues what waits to be scored.
void ExamRoom::Install(const SittingRecord& record, Paper paper, const std::vector<Seat>& seats,
                       std::vector<Action> actions) {
  const std::optional<DateTime> opens = OpensAt(record.sitting);
  const std::int64_t opens_at_ms = opens && !record.opened_early ? LocalToUnixMillis(*opens) : 0;
  std::lock_guard lock(mutex_);
  actions_ = std::move(actions);
  for (auto& [number, slot] : slots_) slot->retired = true;
  record_ = record;
  opens_at_ms_ = opens_at_ms;
  paper_ = std::move(paper);
  seat_order_.clear();
  slots_.clear();
  seat_of_token_hash_.clear();
  stopped_token_hash_.clear();
  queue_.clear();
  for (const Seat& seat : seats) {
    auto slot = std::make_shared<Slot>();
    slot->seat = seat;
    const std::string& number = seat.candidate.SeatNo;
    for (std::size_t k = 0; k < seat.parts.size(); ++k) {
      PartRecord& part = slot->seat.parts[k];
      // A part submitted before runs had ids gets the one it would have had.
      if (part.BeingScored() && part.run_id.empty()) {
        part.run_id = ScoringRunId(record.id, number, static_cast<int>(k) + 1);
      }
      if (part.BeingScored()) queue_.push_back({number, static_cast<int>(k) + 1});
    }
    IndexTokensLocked(number, Seat{}, seat);
    seat_order_.push_back(number);
    slots_.emplace(number, std::move(slot));
  }
  open_ = true;
  changed_.notify_all();
}

void ExamRoom::StartThreads() {
  for (int i = 0; i < std::max(config_.scoring_workers, 1); ++i) {
    threads_.emplace_back([this] { ScoringWorker(); });
  }
  threads_.emplace_back([this] { DeadlineWatch(); });
}

void ExamRoom::CheckDataRoots(const Sitting& sitting) const {
  const PathTranslator translate(config_.program_folder);
  for (const auto& [name, path] :
       {std::pair{"LibPath", &sitting.LibPath}, std::pair{"ScrPath", &sitting.ScrPath}}) {
    const std::string translated = AbsolutePath(translate(*path));
    const bool allowed =
        std::any_of(config_.data_roots.begin(), config_.data_roots.end(),
                    [&](const std::string& root) { return LiesUnder(translated, root); });
    if (!allowed) {
      throw SittingError(std::string(name) + " " + *path +
                         " 不在允許的資料夾內（伺服器的 --data-root；預設為程式資料夾 " +
                         config_.program_folder + "），也不可含 ..");
    }
  }
}

void ExamRoom::OpenSitting(const Sitting& sitting, std::vector<Candidate> roster,
                           const std::string& who) {
  std::lock_guard sitting_lock(sitting_change_);
  std::vector<std::shared_ptr<Slot>> before;
  {
    std::lock_guard lock(mutex_);
    if (open_ && !record_.ended) {
      throw RoomError(409, "已有進行中的場次；請先結束它再建立新的場次");
    }
    if (jobs_in_flight_ > 0 || !queue_.empty()) {
      throw RoomError(409, "上一場次還在評分，請稍候再試");
    }
    for (auto& [number, slot] : slots_) before.push_back(slot);
  }
  CheckDataRoots(sitting);
  InstallCustomText(sitting, config_.program_folder);
  Paper paper = LoadPaper(sitting, config_.program_folder);

  SittingRecord record;
  record.id = FormatDateTime(LocalNow(), "yyyyMMdd-HHmmss") + "-" + RandomHex(3);
  record.opened_at = LocalNowText();
  record.sitting = sitting;
  record.roster =
      MakeAccessCodes(std::move(roster), [] { return RandomCode(kAccessCodeAlphabet, 6); });
  std::vector<Seat> seats;
  for (const Candidate& candidate : record.roster) {
    seats.push_back(NewSeat(candidate, PartCount(sitting), !AsksAdmission(sitting)));
  }
  RecordRoster(record);
  // No write of the sitting before may land among this one's files.
  std::vector<std::unique_lock<std::mutex>> held;
  for (const auto& slot : before) held.emplace_back(slot->change);
  const Action opened = LogAction(record.id, {.who = who, .action = "open"});
  try {
    store_->Open(record);
  } catch (const StoreError& failure) {
    Log("cannot open a sitting: " + std::string(failure.what()));
    throw RoomError(503, "無法寫入場次資料，請檢查伺服器的磁碟後再試", "storage");
  }
  Install(record, std::move(paper), seats, {opened});
}

void ExamRoom::RecordRoster(const SittingRecord& record) const {
  const Sitting& sitting = record.sitting;
  std::vector<SittingCandidate> candidates;
  for (const Candidate& candidate : record.roster) {
    candidates.push_back({record.id, sitting.Room, record.opened_at, sitting.TestType,
                          sitting.ExamPlaceNo, sitting.ExamNo, sitting.ExamPaperNo,
                          sitting.SessionNo, candidate.SeatNo, candidate.UserID, candidate.StuName,
                          candidate.ClassName});
  }
  try {
    RecordSittingCandidates(*OpenStoreOfRun(config_.program_folder, KindOf(sitting)), candidates);
  } catch (const DatabaseError& failure) {
    Log("sitting " + record.id + ": cannot record its roster: " + failure.what());
    throw RoomError(503, "無法把考生名單寫入成績資料庫，場次尚未開始；請檢查資料庫後再試",
                    "storage");
  }
}

void ExamRoom::OpenOrResume(const Sitting& sitting, std::vector<Candidate> roster) {
  {
    std::lock_guard lock(mutex_);
    if (open_) {
      if (record_.sitting == sitting && SameRoster(record_.roster, roster)) return;
      if (!record_.ended) {
        throw RoomError(409, "state folder " + config_.state_folder +
                                 " holds another sitting that has not ended; end it first or "
                                 "use another --state folder");
      }
    }
  }
  OpenSitting(sitting, std::move(roster));
}

json ExamRoom::OpenNow(const std::string& who, const std::string& reason) {
  {
    std::lock_guard sitting_lock(sitting_change_);
    SittingRecord opened;
    {
      std::lock_guard lock(mutex_);
      RequireOpenLocked();
      if (record_.ended) throw RoomError(409, "考試已經結束");
      if (clock_.Now() >= opens_at_ms_) throw RoomError(409, "考生已經可以開始作答");
      opened = record_;
    }
    LogAction(opened.id, {.who = who, .action = "open-now", .reason = CleanReason(reason)});
    opened.opened_early = true;
    try {
      store_->SaveSitting(opened);
    } catch (const StoreError& failure) {
      Log("cannot open the sitting early: " + std::string(failure.what()));
      throw RoomError(503, "無法寫入場次資料，考試尚未開始；請檢查伺服器的磁碟後再試", "storage");
    }
    std::lock_guard lock(mutex_);
    record_.opened_early = true;
    opens_at_ms_ = 0;
  }
  return SittingInfo();
}

json ExamRoom::EndSitting(const std::string& who, const std::string& reason) {
  {
    std::lock_guard sitting_lock(sitting_change_);
    SittingRecord ended;
    {
      std::lock_guard lock(mutex_);
      RequireOpenLocked();
      ended = record_;
    }
    if (!ended.ended) {
      LogAction(ended.id, {.who = who, .action = "end", .reason = CleanReason(reason)});
      ended.ended = true;
      try {
        store_->SaveSitting(ended);
      } catch (const StoreError& failure) {
        Log("cannot end the sitting: " + std::string(failure.what()));
        throw RoomError(503, "無法寫入場次資料，考試尚未結束；請檢查伺服器的磁碟後再試", "storage");
      }
      std::lock_guard lock(mutex_);
      record_.ended = true;
    }
  }
  // The deadline watch submits every part still being typed; it is woken to do it now.
  changed_.notify_all();
  return SittingInfo();
}

void ExamRoom::RequireOpenLocked() const {
  if (!open_) throw RoomError(409, "目前沒有開放的場次");
}

json ExamRoom::SittingInfo() const {
  std::lock_guard lock(mutex_);
  if (!open_) return {{"open", false}, {"kinds", KindChoices()}};
  return {{"open", true},
          {"ended", record_.ended},
          {"id", record_.id},
          {"opened_at", record_.opened_at},
          {"opens_in_ms", std::max<std::int64_t>(opens_at_ms_ - clock_.Now(), 0)},
          {"parts", PartCount(record_.sitting)},
          {"sitting", SittingToJson(record_.sitting)},
          {"kind_label", KindLabelOf(record_.sitting)},
          {"kinds", KindChoices()},
          {"seats", seat_order_.size()}};
}

SeatTerms ExamRoom::TermsLocked() const {
  SeatTerms terms;
  terms.allowed_seconds = std::stoll(record_.sitting.TotTime);
  terms.grace_ms = config_.grace_ms;
  terms.answer_limit_bytes = config_.answer_limit_bytes;
  terms.ended = record_.ended;
  terms.opens_at_ms = opens_at_ms_;
  terms.sitting_id = record_.id;
  return terms;
}

std::shared_ptr<ExamRoom::Slot> ExamRoom::SlotOf(const std::string& seat) const {
  RequireOpenLocked();
  auto found = slots_.find(seat);
  if (found == slots_.end()) throw RoomError(404, "名單上沒有這個座號");
  return found->second;
}

Seat ExamRoom::Change(const std::string& number, const Rule& rule,
                      const BeforeStore& before_store) {
  std::shared_ptr<Slot> slot;
  {
    std::lock_guard lock(mutex_);
    slot = SlotOf(number);
  }
  std::lock_guard change(slot->change);
  Seat next;
  SeatTerms terms;
  {
    std::lock_guard lock(mutex_);
    if (slot->retired) throw RoomError(409, "場次已更換，請重新整理頁面");
    next = slot->seat;
    terms = TermsLocked();
  }
  const std::size_t parts = next.parts.size();
  const Candidate candidate = next.candidate;
  if (!rule(next, terms, clock_.Now())) return next;
  // A rule changes a seat's records, never whose seat it is or how many parts it has.
  assert(next.candidate == candidate && next.parts.size() == parts);
  if (before_store) before_store(next);
  try {
    store_->SaveSeat(next);
  } catch (const StoreError& failure) {
    bool first = false;
    {
      std::lock_guard lock(mutex_);
      first = !slot->storage_trouble;
      slot->storage_trouble = true;
    }
    if (first) Log("seat " + number + ": cannot write its state: " + failure.what());
    throw RoomError(503, kStorageRefused, "storage");
  }
  std::lock_guard lock(mutex_);
  Seat& seat = slot->seat;
  if (slot->storage_trouble) Log("seat " + number + ": its state is written again");
  slot->storage_trouble = false;
  IndexTokensLocked(number, seat, next);
  for (std::size_t k = 0; k < next.parts.size(); ++k) {
    if (next.parts[k].scoring == ScoringState::kQueued &&
        seat.parts[k].scoring != ScoringState::kQueued) {
      queue_.push_back({number, static_cast<int>(k) + 1});
      changed_.notify_all();
    }
  }
  seat = std::move(next);
  return seat;
}

void ExamRoom::IndexTokensLocked(const std::string& number, const Seat& before, const Seat& after) {
  for (const std::string* hash : {&before.token_hash, &before.move_hash}) {
    if (hash->empty() || *hash == after.token_hash || *hash == after.move_hash) continue;
    seat_of_token_hash_.erase(*hash);
    if (stopped_token_hash_.size() >= kStoppedSessionsKept) stopped_token_hash_.clear();
    stopped_token_hash_[*hash] = hash == &before.token_hash ? kMovedAway : kMoveRefused;
  }
  for (const std::string* hash : {&after.token_hash, &after.move_hash}) {
    if (!hash->empty()) seat_of_token_hash_[*hash] = number;
  }
}

std::string ExamRoom::SeatOfLocked(const std::string& user_id,
                                   const std::string& access_code) const {
  const bool asks_code = AsksAccessCode(record_.sitting);
  for (const auto& [number, slot] : slots_) {
    const Candidate& candidate = slot->seat.candidate;
    if (candidate.UserID == user_id &&
        (!asks_code || AccessCodeMatches(access_code, candidate.AccessCode))) {
      return number;
    }
  }
  return {};
}

ExamRoom::Knows ExamRoom::KnowsCandidate(const std::string& user_id,
                                         const std::string& access_code) const {
  std::lock_guard lock(mutex_);
  if (!open_ || SeatOfLocked(user_id, access_code).empty()) return Knows::kNo;
  return record_.ended ? Knows::kEnded : Knows::kRunning;
}

std::optional<Sitting> ExamRoom::CurrentSitting() const {
  std::lock_guard lock(mutex_);
  if (!open_) return std::nullopt;
  return record_.sitting;
}

Candidate ExamRoom::CandidateAt(const std::string& seat) const {
  std::lock_guard lock(mutex_);
  return SlotOf(seat)->seat.candidate;
}

std::string ExamRoom::SignIn(const std::string& user_id, const std::string& access_code) {
  std::string number;
  bool asks_code = true;
  {
    std::lock_guard lock(mutex_);
    RequireOpenLocked();
    asks_code = AsksAccessCode(record_.sitting);
    number = SeatOfLocked(user_id, access_code);
  }
  if (number.empty()) {
    throw RoomError(401, asks_code ? "考生編號或登入碼不對，請再檢查一次，或請監考老師協助"
                                   : "名單上找不到這個考生編號，請再檢查一次，或請監考老師協助");
  }
  // The session holding the seat keeps it until the proctor decides.
  const std::string token = RandomHex(24);
  const std::string hash = Sha256Hex(token);
  const Seat seat = Change(
      number, [&](Seat& s, const SeatTerms&, std::int64_t) { return server::SignIn(s, hash); });
  std::lock_guard lock(mutex_);
  if (seat.token_hash == hash) slots_.at(number)->last_seen_ms = clock_.Now();
  return token;
}

std::optional<ExamRoom::Access> ExamRoom::AccessOf(const std::string& token) {
  const std::string hash = Sha256Hex(token);
  std::lock_guard lock(mutex_);
  if (auto found = seat_of_token_hash_.find(hash); found != seat_of_token_hash_.end()) {
    Slot& slot = *slots_.at(found->second);
    if (slot.seat.token_hash != hash) return Access{Access::Standing::kWaits, found->second, {}};
    slot.last_seen_ms = clock_.Now();
    return Access{Access::Standing::kHolds, found->second, {}};
  }
  if (auto stopped = stopped_token_hash_.find(hash); stopped != stopped_token_hash_.end()) {
    return Access{Access::Standing::kStopped, {}, stopped->second};
  }
  return std::nullopt;
}

void ExamRoom::SignOut(const std::string& token) {
  const std::string hash = Sha256Hex(token);
  std::string number;
  {
    std::lock_guard lock(mutex_);
    auto found = seat_of_token_hash_.find(hash);
    if (found == seat_of_token_hash_.end()) return;
    number = found->second;
  }
  Change(number,
         [&](Seat& seat, const SeatTerms&, std::int64_t) { return server::SignOut(seat, hash); });
  std::lock_guard lock(mutex_);
  stopped_token_hash_.erase(hash);  // it left; nothing stopped it
}

json ExamRoom::CandidateState(const std::string& number, bool waits_for_move) {
  std::lock_guard lock(mutex_);
  const std::shared_ptr<Slot> slot = SlotOf(number);
  if (waits_for_move) return WaitingState(slot->seat, "move");
  const SeatTerms terms = TermsLocked();
  return server::CandidateState(slot->seat, {record_.sitting, paper_.parts, terms}, clock_.Now());
}

json ExamRoom::ChooseMethod(const std::string& number, const std::string& method) {
  Change(number, [&](Seat& seat, const SeatTerms&, std::int64_t) {
    return server::ChooseMethod(seat, method);
  });
  return CandidateState(number);
}

json ExamRoom::StartPart(const std::string& number, int part) {
  Change(number, [&](Seat& seat, const SeatTerms& terms, std::int64_t now) {
    return server::StartPart(seat, part, now, terms);
  });
  return CandidateState(number);
}

json ExamRoom::SaveDraft(const std::string& number, int part_number, const DraftSave& save) {
  SaveOutcome outcome = SaveOutcome::kUnchanged;
  std::int64_t now = 0;
  const Seat seat = Change(number, [&](Seat& s, const SeatTerms& terms, std::int64_t at) {
    now = at;
    outcome = server::SaveDraft(s, part_number, save, at, terms);
    return outcome == SaveOutcome::kTaken;
  });
  const PartRecord& part = seat.parts.at(static_cast<std::size_t>(part_number - 1));
  json answer = {{"saved_ms", part.saved_ms},
                 {"chars", part.chars},
                 {"time_left_ms", TimeLeft(part, now)},
                 {"version", part.version}};
  if (outcome == SaveOutcome::kIgnoredAsOlder) answer["ignored"] = true;
  return answer;
}

json ExamRoom::Submit(const std::string& number, int part, const std::optional<DraftSave>& save) {
  Change(number, [&](Seat& seat, const SeatTerms& terms, std::int64_t now) {
    return server::Submit(seat, part, save, now, terms);
  });
  return CandidateState(number);
}

std::string ExamRoom::Report(const std::string& number, int part_number, bool by_proctor) {
  std::string path;
  {
    std::lock_guard lock(mutex_);
    const Seat& seat = SlotOf(number)->seat;
    if (part_number < 1 || part_number > static_cast<int>(seat.parts.size())) {
      throw RoomError(404, "沒有這個部分");
    }
    if (!by_proctor && (!record_.sitting.ShowResults || CurrentPart(seat) != 0)) {
      throw RoomError(403, "這一場次不開放查看成績");
    }
    if (!seat.parts[static_cast<std::size_t>(part_number - 1)].report) {
      throw RoomError(404, "這一部分沒有成績報告");
    }
    path = jobs_.SeatFolder(record_.sitting, seat.candidate) + "/CTEST-" +
           std::to_string(part_number) + ".html";
  }
  std::optional<std::string> html = ReadFileIfAny(path);
  if (!html) throw RoomError(404, "這一部分沒有成績報告");
  return *html;
}

json ExamRoom::Board() {
  std::lock_guard lock(mutex_);
  RequireOpenLocked();
  const std::int64_t now = clock_.Now();
  const SeatTerms terms = TermsLocked();
  const SittingView view{record_.sitting, paper_.parts, terms};
  const auto actions = ActionTextsBySeat(actions_);
  json seats = json::array();
  for (const std::string& number : seat_order_) {
    const Slot& slot = *slots_.at(number);
    json entry = BoardEntry(slot.seat, view, {slot.last_seen_ms, slot.storage_trouble}, now,
                            config_.disconnected_after_ms);
    auto found = actions.find(number);
    entry["actions"] = found == actions.end() ? json::array() : json(found->second);
    seats.push_back(std::move(entry));
  }
  return {{"ended", record_.ended},
          {"id", record_.id},
          {"opens_in_ms", std::max<std::int64_t>(opens_at_ms_ - now, 0)},
          {"parts", PartCount(record_.sitting)},
          {"sitting", SittingToJson(record_.sitting)},
          {"kind_label", KindLabelOf(record_.sitting)},
          {"seats", seats}};
}

json ExamRoom::SeatDetail(const std::string& number) {
  std::lock_guard lock(mutex_);
  const Slot& slot = *SlotOf(number);
  const SeatTerms terms = TermsLocked();
  json detail = BoardEntry(slot.seat, {record_.sitting, paper_.parts, terms},
                           {slot.last_seen_ms, slot.storage_trouble}, clock_.Now(),
                           config_.disconnected_after_ms);
  json texts = json::array();
  for (const PartRecord& part : slot.seat.parts) texts.push_back(part.text);
  detail["texts"] = texts;
  json actions = json::array();
  for (const Action& action : actions_) {
    if (action.seat == number) actions.push_back(ActionToJson(action));
  }
  detail["actions"] = actions;
  return detail;
}

json ExamRoom::AddTime(const std::string& number, std::int64_t seconds, const std::string& who,
                       const std::string& reason) {
  const std::string why = CleanReason(reason);
  if (why.empty()) throw RoomError(400, "請寫下加時的原因");
  int part = 0;
  std::string sitting_id;
  Change(
      number,
      [&](Seat& seat, const SeatTerms& terms, std::int64_t) {
        part = server::AddTime(seat, seconds, terms);
        sitting_id = terms.sitting_id;
        return true;
      },
      [&](const Seat&) {
        LogAction(sitting_id, {.who = who,
                               .seat = number,
                               .action = "add-time",
                               .reason = why,
                               .seconds = seconds,
                               .part = part});
      });
  json entry = SeatDetail(number);
  entry.erase("texts");
  entry["added_to_part"] = part;
  return entry;
}

json ExamRoom::ActOnSeat(const std::string& number, const Rule& rule, Action action) {
  std::string sitting_id;
  Change(
      number,
      [&](Seat& seat, const SeatTerms& terms, std::int64_t now) {
        sitting_id = terms.sitting_id;
        return rule(seat, terms, now);
      },
      [&](const Seat&) { LogAction(sitting_id, action); });
  json entry = SeatDetail(number);
  entry.erase("texts");
  return entry;
}

json ExamRoom::Admit(const std::string& number, const std::string& who, const std::string& reason) {
  return ActOnSeat(number,
                   [](Seat& seat, const SeatTerms&, std::int64_t) { return server::Admit(seat); },
                   {.who = who, .seat = number, .action = "admit", .reason = CleanReason(reason)});
}

json ExamRoom::DecideMove(const std::string& number, bool approve, const std::string& who,
                          const std::string& reason) {
  return ActOnSeat(
      number,
      [&](Seat& seat, const SeatTerms&, std::int64_t) { return server::DecideMove(seat, approve); },
      {.who = who,
       .seat = number,
       .action = approve ? "approve-move" : "refuse-move",
       .reason = CleanReason(reason)});
}

json ExamRoom::Slips() {
  std::lock_guard lock(mutex_);
  RequireOpenLocked();
  const bool codes = AsksAccessCode(record_.sitting);
  json slips = json::array();
  for (const std::string& number : seat_order_) {
    const Candidate& c = slots_.at(number)->seat.candidate;
    slips.push_back({{"SeatNo", c.SeatNo},
                     {"UserID", c.UserID},
                     {"StuName", c.StuName},
                     {"ClassName", c.ClassName},
                     {"AccessCode", codes ? c.AccessCode : ""}});
  }
  return {{"id", record_.id},
          {"sitting", SittingToJson(record_.sitting)},
          {"kind_label", KindLabelOf(record_.sitting)},
          {"slips", slips}};
}

Action ExamRoom::LogAction(const std::string& sitting_id, Action action) {
  action.at = LocalNowText();
  try {
    store_->AppendAction(sitting_id, action);
  } catch (const StoreError& failure) {
    Log("cannot log an act (" + action.action + "): " + failure.what());
    throw RoomError(503, "無法寫入監考紀錄，這個動作沒有完成；請檢查伺服器的磁碟後再試", "storage");
  }
  // The journal has every act too (the reason is the proctor's words, never a candidate's).
  Log("act: " + action.who + " " + action.action +
      (action.seat.empty() ? "" : " seat " + action.seat) +
      (action.reason.empty() ? "" : ": " + action.reason));
  std::lock_guard lock(mutex_);
  if (open_ && record_.id == sitting_id) actions_.push_back(action);
  return action;
}

std::vector<Action> ExamRoom::Actions() {
  std::lock_guard lock(mutex_);
  RequireOpenLocked();
  return actions_;
}

ServerMetrics::Gauges ExamRoom::Gauges() {
  ServerMetrics::Gauges gauges;
  std::lock_guard lock(mutex_);
  gauges.scoring_queued = static_cast<int>(queue_.size());
  gauges.scoring_running = jobs_in_flight_;
  if (!open_) return gauges;
  const std::int64_t now = clock_.Now();
  const SeatTerms terms = TermsLocked();
  const SittingView view{record_.sitting, paper_.parts, terms};
  for (const auto& [number, slot] : slots_) {
    const json entry = BoardEntry(slot->seat, view, {slot->last_seen_ms, slot->storage_trouble},
                                  now, config_.disconnected_after_ms);
    ++gauges.seats_by_state[entry["state"].get<std::string>()];
  }
  return gauges;
}

std::optional<std::string> ExamRoom::ReadinessProblem() {
  try {
    store_->Probe();
  } catch (const StoreError& failure) {
    Log("not ready: the state cannot be written: " + std::string(failure.what()));
    return "the exam room's state cannot be written";
  }
  for (const report::ResultKind kind : {report::ResultKind::kMock, report::ResultKind::kExam}) {
    try {
      OpenResultsStore(config_.program_folder, kind)->Query("SELECT 1");
    } catch (const std::exception& failure) {
      Log("not ready: the result store does not answer: " + std::string(failure.what()));
      return "the result store does not answer";
    }
  }
  return std::nullopt;
}

StoredResults ExamRoom::Results() {
  Sitting sitting;
  std::vector<Candidate> roster;
  std::string opened_at;
  std::vector<Action> actions;
  {
    std::lock_guard lock(mutex_);
    RequireOpenLocked();
    sitting = record_.sitting;
    opened_at = record_.opened_at;
    roster = record_.roster;
    actions = actions_;
  }
  StoredResults results = ReadStoredResults(config_.program_folder, sitting, roster, opened_at);
  // What was done at each seat, and why, beside its row.
  if (!results.columns.empty()) {
    const auto texts = ActionTextsBySeat(actions);
    results.columns.emplace_back(kActionsColumn);
    for (std::size_t i = 0; i < results.rows.size(); ++i) {
      std::string joined;
      if (auto found = texts.find(results.seats[i]); found != texts.end()) {
        for (const std::string& text : found->second) {
          joined += (joined.empty() ? "" : "；") + text;
        }
      }
      results.rows[i].push_back(std::move(joined));
    }
  }
  return results;
}

// Submits every part whose time is up, or every part being typed once the sitting has ended. A
// seat whose write fails is tried again on the next round.
void ExamRoom::DeadlineWatch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    changed_.wait_for(lock, std::chrono::milliseconds(250));
    if (stopping_ || !open_) continue;
    const std::int64_t now = clock_.Now();
    const SeatTerms terms = TermsLocked();
    std::vector<std::string> due;
    for (const auto& [number, slot] : slots_) {
      if (DuePart(slot->seat, now, terms) != 0) due.push_back(number);
    }
    lock.unlock();
    for (const std::string& number : due) {
      try {
        Change(number, [](Seat& seat, const SeatTerms& t, std::int64_t at) {
          return SubmitWhenDue(seat, at, t) != 0;
        });
      } catch (const RoomError&) {
        // The store refused it (the seat shows its trouble) or the sitting was replaced.
      }
    }
    lock.lock();
  }
}

void ExamRoom::ScoringWorker() {
  std::unique_lock lock(mutex_);
  while (true) {
    auto ready = queue_.end();
    const auto pick = [&] {
      const std::int64_t now = clock_.Now();
      ready = std::find_if(queue_.begin(), queue_.end(), [&](const Job& job) {
        auto slot = slots_.find(job.seat);
        return job.not_before_ms <= now && (slot == slots_.end() || !slot->second->scoring);
      });
      return stopping_ || ready != queue_.end();
    };
    // Jobs that wait for a later moment are looked at again a few times a second.
    while (!pick()) changed_.wait_for(lock, std::chrono::milliseconds(250));
    if (stopping_) return;
    const Job job = *ready;
    queue_.erase(ready);
    auto slot = slots_.find(job.seat);
    if (slot == slots_.end()) continue;
    std::shared_ptr<Slot> held = slot->second;
    held->scoring = true;
    ++jobs_in_flight_;
    lock.unlock();
    RunJob(job);
    lock.lock();
    held->scoring = false;
    --jobs_in_flight_;
    changed_.notify_all();
  }
}

void ExamRoom::RunJob(const Job& job) {
  ScoringTask task;
  {
    std::lock_guard lock(mutex_);
    auto slot = slots_.find(job.seat);
    if (slot == slots_.end() || slot->second->retired) return;
    const Seat& seat = slot->second->seat;
    const PartRecord& part = seat.parts.at(static_cast<std::size_t>(job.part - 1));
    if (!part.BeingScored()) return;  // queued twice; scored already
    task = {record_.sitting,
            seat.candidate,
            seat.method,
            job.part,
            part.text,
            AllowedSeconds(part, TermsLocked()),
            part.use_time,
            part.run_id,
            part.scoring == ScoringState::kRunning ? part.keyin_offset : -1};
  }
  try {
    const std::int64_t started = SteadyMillisNow();
    // Rooms share the cores: one of the server's runs is held for the child's run.
    config_.scoring_share->TakeRun();
    struct Give {
      ScoringShare& share;
      ~Give() { share.GiveRun(); }
    } give{*config_.scoring_share};
    const JobResult result = jobs_.Run(task, [&](std::int64_t keyin_offset) {
      Change(job.seat, [&](Seat& seat, const SeatTerms&, std::int64_t) {
        return MarkRunning(seat, job.part, keyin_offset);
      });
    });
    if (config_.metrics != nullptr) {
      config_.metrics->ScoringRun(result.scored ? "scored" : "failed",
                                  static_cast<double>(SteadyMillisNow() - started) / 1000);
      if (!result.scored) config_.metrics->Failure("scoring");
    }
    RecordResult(job, result);
  } catch (const JobDeferred& deferred) {
    Defer(job, deferred.what());
  } catch (const RoomError& refusal) {
    if (refusal.Status() == 503) Defer(job, "its start could not be recorded");
  } catch (const std::exception& failure) {
    Defer(job, failure.what());
  }
}

// The result is the seat's once it is on disk; until the disk takes it, it is tried again. A
// server stopped before that finds the part running, and the job asks the store again.
void ExamRoom::RecordResult(const Job& job, const JobResult& result) {
  while (true) {
    try {
      Change(job.seat, [&](Seat& seat, const SeatTerms&, std::int64_t) {
        return result.scored ? MarkScored(seat, job.part, result.score, result.report)
                             : MarkFailed(seat, job.part, result.failure);
      });
      return;
    } catch (const RoomError& refusal) {
      if (refusal.Status() != 503) return;  // the sitting was replaced
    }
    std::unique_lock lock(mutex_);
    if (changed_.wait_for(lock, std::chrono::milliseconds(kRetryMs), [&] { return stopping_; })) {
      return;
    }
  }
}

void ExamRoom::Defer(Job job, const std::string& why) {
  Log("seat " + job.seat + " part " + std::to_string(job.part) + ": scoring waits: " + why);
  if (config_.metrics != nullptr) config_.metrics->Failure("scoring");
  std::lock_guard lock(mutex_);
  job.not_before_ms = clock_.Now() + kRetryMs;
  queue_.push_back(std::move(job));
  changed_.notify_all();
}

}  // namespace keyin::server
