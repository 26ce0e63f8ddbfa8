#include "server/room_views.h"

#include "platform/code_page.h"
#include "practice/keyin_records.h"
#include "records/review_choice.h"
#include "run/run_kind.h"
#include "support/number_text.h"

namespace keyin::server {

using nlohmann::json;

namespace {

const PartRecord* CurrentRecord(const Seat& seat) {
  const int current = CurrentPart(seat);
  return current == 0 ? nullptr : &seat.parts[static_cast<std::size_t>(current - 1)];
}

std::string_view Stage(const Seat& seat, const SeatTerms& terms) {
  const PartRecord* part = CurrentRecord(seat);
  if (part == nullptr || terms.ended) return "done";
  if (seat.method.empty()) return "method";
  return part->Typing() ? "typing" : "ready";
}

json PartResults(const Seat& seat, const SittingView& view) {
  json parts = json::array();
  for (std::size_t k = 0; k < seat.parts.size(); ++k) {
    const PartRecord& part = seat.parts[k];
    json entry = {
        {"part", k + 1}, {"taken", part.Submitted()}, {"scoring", ScoringStateName(part.scoring)}};
    if (view.sitting.ShowResults && part.scoring == ScoringState::kScored) {
      entry["speed"] = part.score.speed;
      entry["error_rate"] = part.score.error_rate;
      entry["errors"] = part.score.errors;
      entry["typed_chars"] = part.score.typed_chars;
      entry["use_time"] = part.use_time;
      entry["report"] = part.report;
    }
    parts.push_back(std::move(entry));
  }
  return parts;
}

// The review result of a two-part kind, once both parts are scored.
std::optional<json> Review(const Seat& seat) {
  if (seat.parts.size() != 2) return std::nullopt;
  const PartRecord& one = seat.parts[0];
  const PartRecord& two = seat.parts[1];
  if (one.scoring != ScoringState::kScored || two.scoring != ScoringState::kScored) {
    return std::nullopt;
  }
  const auto number = [](const std::string& text) { return LeadingNumber(Utf8ToUtf16(text)); };
  const ReviewPair review = SetScr(number(one.score.speed), number(one.score.error_rate),
                                   number(two.score.speed), number(two.score.error_rate));
  return json{{"speed", Utf16ToUtf8(FormatNumber(review.ReviewScore))},
              {"error_rate", Utf16ToUtf8(FormatNumber(review.ReviewErr))}};
}

}  // namespace

std::string QrCodeSvg(const std::vector<std::vector<bool>>& modules) {
  constexpr std::size_t kQuiet = 4;
  const std::string size = std::to_string(modules.size() + 2 * kQuiet);
  std::string path;
  for (std::size_t y = 0; y < modules.size(); ++y) {
    for (std::size_t x = 0; x < modules[y].size(); ++x) {
      if (modules[y][x]) {
        path += "M" + std::to_string(x + kQuiet) + " " + std::to_string(y + kQuiet) + "h1v1h-1z";
      }
    }
  }
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + size + " " + size +
         "\" shape-rendering=\"crispEdges\"><rect width=\"" + size + "\" height=\"" + size +
         "\" fill=\"#fff\"/><path fill=\"#000\" d=\"" + path + "\"/></svg>";
}

json MethodNames() {
  json list = json::array();
  for (std::u16string_view name : kMethodList) list.push_back(Utf16ToUtf8(name));
  return list;
}

std::string KindLabelOf(const Sitting& sitting) { return Utf16ToUtf8(KindLabel(KindOf(sitting))); }

json KindChoices() {
  json kinds = json::array();
  // The kinds a room runs most first.
  for (const char* type : {"3", "5", "4", "1", "2", "0", "7"}) {
    Sitting sitting;
    sitting.TestType = type;
    kinds.push_back({{"TestType", type}, {"label", KindLabelOf(sitting)}});
  }
  return kinds;
}

json WaitingState(const Seat& seat, std::string_view waits_for) {
  const Candidate& c = seat.candidate;
  return {{"UserID", c.UserID}, {"StuName", c.StuName}, {"ClassName", c.ClassName},
          {"SeatNo", c.SeatNo}, {"stage", "wait"},      {"waits_for", waits_for}};
}

json CandidateState(const Seat& seat, const SittingView& view, std::int64_t now) {
  if (!seat.admitted && !view.terms.ended) return WaitingState(seat, "admission");
  const Candidate& c = seat.candidate;
  json state = {{"UserID", c.UserID},
                {"StuName", c.StuName},
                {"ClassName", c.ClassName},
                {"SeatNo", c.SeatNo},
                {"method", seat.method},
                {"methods", MethodNames()},
                {"parts", seat.parts.size()},
                {"TotTime", view.terms.allowed_seconds},
                {"ShowResults", view.sitting.ShowResults},
                {"practice", IsPractice(view.sitting)},
                {"ExamPaperNo", view.sitting.ExamPaperNo}};
  const std::string_view stage = Stage(seat, view.terms);
  state["stage"] = stage;
  const int current = CurrentPart(seat);
  if (stage == "typing") {
    const PartRecord& part = seat.parts[static_cast<std::size_t>(current - 1)];
    state["part"] = current;
    state["time_left_ms"] = TimeLeft(part, now);
    state["text"] = part.text;
    state["version"] = part.version;
    state["reference"] = view.paper.at(static_cast<std::size_t>(current - 1));
  } else if (stage == "ready") {
    state["part"] = current;
    if (now < view.terms.opens_at_ms) {
      state["opens_at"] = view.sitting.Opens;
      state["opens_in_ms"] = view.terms.opens_at_ms - now;
    }
    state["allowed_seconds"] =
        AllowedSeconds(seat.parts[static_cast<std::size_t>(current - 1)], view.terms);
  } else if (stage == "done") {
    bool all_scored = true;
    for (const PartRecord& part : seat.parts) {
      if (part.Submitted() && part.scoring != ScoringState::kScored &&
          part.scoring != ScoringState::kFailed) {
        all_scored = false;
      }
    }
    state["results"] = PartResults(seat, view);
    state["scored"] = all_scored;
    if (view.sitting.ShowResults) {
      if (std::optional<json> review = Review(seat)) state["review"] = *review;
    }
  }
  return state;
}

json BoardEntry(const Seat& seat, const SittingView& view, const SeatPresence& presence,
                std::int64_t now, std::int64_t disconnected_after_ms) {
  const Candidate& c = seat.candidate;
  const int current = CurrentPart(seat);
  bool too_fast = false;
  for (const PartRecord& part : seat.parts) too_fast = too_fast || part.too_fast;
  json entry = {{"SeatNo", c.SeatNo},        {"UserID", c.UserID},
                {"StuName", c.StuName},      {"ClassName", c.ClassName},
                {"method", seat.method},     {"signed_in", !seat.token_hash.empty()},
                {"admitted", seat.admitted}, {"move_requested", !seat.move_hash.empty()},
                {"too_fast", too_fast},      {"storage_trouble", presence.storage_trouble},
                {"disconnected", false}};
  const PartRecord* part = CurrentRecord(seat);
  if (part != nullptr && part->Typing() && !view.terms.ended) {
    entry["state"] = "typing";
    entry["part"] = current;
    entry["chars"] = part->chars;
    entry["time_left_ms"] = TimeLeft(*part, now);
    entry["disconnected"] = now - presence.last_seen_ms > disconnected_after_ms;
  } else if (part == nullptr || view.terms.ended) {
    bool scoring = false;
    std::int64_t chars = 0;
    for (const PartRecord& p : seat.parts) {
      scoring = scoring || p.BeingScored();
      chars += p.chars;
    }
    entry["state"] = scoring ? "scoring" : seat.parts.front().Started() ? "done" : "absent";
    entry["chars"] = chars;
  } else {
    entry["state"] = "waiting";
    entry["part"] = current;
    entry["chars"] = current > 1 ? seat.parts.front().chars : 0;
    entry["time_left_ms"] = AllowedSeconds(*part, view.terms) * 1000;
  }
  json parts = json::array();
  for (std::size_t k = 0; k < seat.parts.size(); ++k) {
    const PartRecord& p = seat.parts[k];
    parts.push_back({{"part", k + 1},
                     {"scoring", ScoringStateName(p.scoring)},
                     {"speed", p.score.speed},
                     {"error_rate", p.score.error_rate},
                     {"report", p.report},
                     {"failure", p.failure},
                     {"added_seconds", p.added_seconds}});
  }
  entry["parts"] = parts;
  return entry;
}

}  // namespace keyin::server
