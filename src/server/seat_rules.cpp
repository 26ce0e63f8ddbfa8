#include "server/seat_rules.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "platform/code_page.h"
#include "practice/keyin_records.h"
#include "server/typing_rules.h"

namespace keyin::server {
namespace {

constexpr std::array<std::string_view, 5> kScoringStateNames = {"", "queued", "running", "scored",
                                                                "failed"};

PartRecord& PartOrThrow(Seat& seat, int part, int status, const char* message) {
  if (part < 1 || part > static_cast<int>(seat.parts.size())) throw RoomError(status, message);
  return seat.parts[static_cast<std::size_t>(part - 1)];
}

// The text of a save, within what an answer may hold.
void CheckAnswer(std::string_view text, const SeatTerms& terms) {
  if (text.size() > terms.answer_limit_bytes) throw RoomError(413, "答案太長，無法儲存");
  if (AnswerLines(text).size() > terms.line_limit) {
    throw RoomError(413, "答案超過 " + std::to_string(terms.line_limit) + " 行，無法儲存");
  }
}

bool InTime(const PartRecord& part, std::int64_t now, const SeatTerms& terms) {
  return now <= part.deadline_ms + terms.grace_ms;
}

void TakeText(PartRecord& part, const DraftSave& save, std::int64_t now) {
  const std::int64_t chars = CountTypedCharacters(save.text);
  if (GrowsTooFast(part.chars, part.saved_ms, chars, now)) part.too_fast = true;
  part.text = save.text;
  part.chars = chars;
  part.saved_ms = now;
  part.version += 1;
  part.window = save.window;
  part.window_seq = save.seq;
}

enum class SaveCheck { kTake, kUnchanged, kOlder };

// Whether a save may change the text; throws the refusal of a stale window.
SaveCheck CheckSave(const PartRecord& part, const DraftSave& save) {
  const bool same_window = !save.window.empty() && save.window == part.window;
  if (same_window && save.seq <= part.window_seq) return SaveCheck::kOlder;
  if (save.text == part.text) return SaveCheck::kUnchanged;
  if (!same_window && save.base != part.version) {
    throw RoomError(
        409, "這一部分已在另一個視窗作答，這個視窗不再儲存。請關閉這個視窗，回到正在作答的視窗。",
        "other-window");
  }
  return SaveCheck::kTake;
}

void Queue(PartRecord& part, std::int64_t now, std::string run_id) {
  part.submitted_ms = now;
  part.use_time = UseTimeSeconds(part.started_ms, part.deadline_ms, now);
  part.scoring = ScoringState::kQueued;
  part.run_id = std::move(run_id);
}

}  // namespace

std::string_view ScoringStateName(ScoringState state) {
  return kScoringStateNames[static_cast<std::size_t>(state)];
}

std::optional<ScoringState> ScoringStateNamed(std::string_view name) {
  for (std::size_t i = 0; i < kScoringStateNames.size(); ++i) {
    if (kScoringStateNames[i] == name) return static_cast<ScoringState>(i);
  }
  return std::nullopt;
}

std::string ScoringRunId(std::string_view sitting_id, std::string_view seat, int part) {
  return std::string(sitting_id) + "-" + std::string(seat) + "-" + std::to_string(part);
}

Seat NewSeat(Candidate candidate, int parts, bool admitted) {
  assert(parts == 1 || parts == 2);
  Seat seat;
  seat.candidate = std::move(candidate);
  seat.admitted = admitted;
  seat.parts.resize(static_cast<std::size_t>(parts));
  return seat;
}

int CurrentPart(const Seat& seat) {
  for (std::size_t k = 0; k < seat.parts.size(); ++k) {
    if (!seat.parts[k].Submitted()) return static_cast<int>(k) + 1;
  }
  return 0;
}

std::int64_t AllowedSeconds(const PartRecord& part, const SeatTerms& terms) {
  return terms.allowed_seconds + part.added_seconds;
}

std::int64_t TimeLeft(const PartRecord& part, std::int64_t now) {
  return std::max<std::int64_t>(part.deadline_ms - now, 0);
}

bool SignIn(Seat& seat, std::string token_hash) {
  (seat.token_hash.empty() ? seat.token_hash : seat.move_hash) = std::move(token_hash);
  return true;
}

bool SignOut(Seat& seat, std::string_view token_hash) {
  if (seat.token_hash == token_hash) {
    seat.token_hash.clear();
  } else if (seat.move_hash == token_hash) {
    seat.move_hash.clear();
  } else {
    return false;
  }
  return true;
}

bool Admit(Seat& seat) {
  if (seat.admitted) return false;
  seat.admitted = true;
  return true;
}

bool DecideMove(Seat& seat, bool approve) {
  if (seat.move_hash.empty()) throw RoomError(409, "這個座位沒有等候確認的登入");
  if (approve) seat.token_hash = seat.move_hash;
  seat.move_hash.clear();
  return true;
}

namespace {

void RequireAdmitted(const Seat& seat) {
  if (!seat.admitted) throw RoomError(403, "請等候監考老師確認後再開始", "waiting");
}

}  // namespace

bool ChooseMethod(Seat& seat, std::string_view method) {
  RequireAdmitted(seat);
  if (!MethodIndex(Utf8ToUtf16(method))) throw RoomError(400, "請從清單選擇輸入法");
  if (seat.parts.front().Started()) throw RoomError(409, "測驗開始後不能再換輸入法");
  if (seat.method == method) return false;
  seat.method = method;
  return true;
}

bool StartPart(Seat& seat, int part_number, std::int64_t now, const SeatTerms& terms) {
  RequireAdmitted(seat);
  PartRecord& part = PartOrThrow(seat, part_number, 400, "沒有這個測驗部分");
  if (terms.ended) throw RoomError(409, "考試已經結束");
  if (part.Typing()) return false;
  if (now < terms.opens_at_ms)
    throw RoomError(409, "考試還沒開始，到了開始時間才能作答", "not-open");
  if (seat.method.empty()) throw RoomError(409, "請先選擇輸入法");
  if (CurrentPart(seat) != part_number) throw RoomError(409, "請依順序作答，這一部分現在不能開始");
  part.started_ms = now;
  part.deadline_ms = now + AllowedSeconds(part, terms) * 1000;
  part.saved_ms = now;
  return true;
}

SaveOutcome SaveDraft(Seat& seat, int part_number, const DraftSave& save, std::int64_t now,
                      const SeatTerms& terms) {
  RequireAdmitted(seat);
  CheckAnswer(save.text, terms);
  PartRecord& part = PartOrThrow(seat, part_number, 409, "這一部分不在作答中");
  if (!part.Typing() || terms.ended) throw RoomError(409, "這一部分不在作答中");
  if (!InTime(part, now, terms)) throw RoomError(409, "時間已到，這一部分已交卷");
  switch (CheckSave(part, save)) {
    case SaveCheck::kOlder:
      return SaveOutcome::kIgnoredAsOlder;
    case SaveCheck::kUnchanged:
      return SaveOutcome::kUnchanged;
    case SaveCheck::kTake:
      break;
  }
  TakeText(part, save, now);
  return SaveOutcome::kTaken;
}

bool Submit(Seat& seat, int part_number, const std::optional<DraftSave>& save, std::int64_t now,
            const SeatTerms& terms) {
  RequireAdmitted(seat);
  if (save) CheckAnswer(save->text, terms);
  PartRecord& part = PartOrThrow(seat, part_number, 409, "這一部分還沒開始");
  if (!part.Started()) throw RoomError(409, "這一部分還沒開始");
  // A double click or a retry finds the part submitted and changes nothing.
  if (part.Submitted()) return false;
  if (save && InTime(part, now, terms) && CheckSave(part, *save) == SaveCheck::kTake) {
    TakeText(part, *save, now);
  }
  Queue(part, now, ScoringRunId(terms.sitting_id, seat.candidate.SeatNo, part_number));
  return true;
}

int DuePart(const Seat& seat, std::int64_t now, const SeatTerms& terms) {
  const int current = CurrentPart(seat);
  if (current == 0) return 0;
  const PartRecord& part = seat.parts[static_cast<std::size_t>(current - 1)];
  return part.Typing() && (terms.ended || !InTime(part, now, terms)) ? current : 0;
}

int SubmitWhenDue(Seat& seat, std::int64_t now, const SeatTerms& terms) {
  const int due = DuePart(seat, now, terms);
  if (due == 0) return 0;
  Queue(seat.parts[static_cast<std::size_t>(due - 1)], now,
        ScoringRunId(terms.sitting_id, seat.candidate.SeatNo, due));
  return due;
}

int AddTime(Seat& seat, std::int64_t seconds, const SeatTerms& terms) {
  if (seconds < 1 || seconds > 3600) throw RoomError(400, "加時須是 1 到 3600 秒");
  if (terms.ended) throw RoomError(409, "考試已經結束");
  const int current = CurrentPart(seat);
  if (current == 0) throw RoomError(409, "這位考生已經交卷");
  PartRecord& part = seat.parts[static_cast<std::size_t>(current - 1)];
  part.added_seconds += seconds;
  if (part.Typing()) part.deadline_ms += seconds * 1000;
  return current;
}

bool MarkRunning(Seat& seat, int part_number, std::int64_t keyin_offset) {
  PartRecord& part = seat.parts.at(static_cast<std::size_t>(part_number - 1));
  assert(part.Submitted() && part.BeingScored());
  part.scoring = ScoringState::kRunning;
  part.keyin_offset = keyin_offset;
  return true;
}

bool MarkScored(Seat& seat, int part_number, const PartScore& score, bool report) {
  PartRecord& part = seat.parts.at(static_cast<std::size_t>(part_number - 1));
  assert(part.Submitted());
  part.scoring = ScoringState::kScored;
  part.score = score;
  part.failure.clear();
  part.report = report;
  return true;
}

bool MarkFailed(Seat& seat, int part_number, const std::string& failure) {
  PartRecord& part = seat.parts.at(static_cast<std::size_t>(part_number - 1));
  assert(part.Submitted());
  part.scoring = ScoringState::kFailed;
  part.score = {};
  part.failure = failure;
  part.report = false;
  return true;
}

}  // namespace keyin::server
