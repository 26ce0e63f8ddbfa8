// What the pages see of a seat: the candidate's state and the proctor's board entry, as the JSON
// of docs/api.md. Pure: built from a seat's records and the moment they are shown.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "server/seat_rules.h"
#include "server/sitting.h"

namespace keyin::server {

// The sitting as every view needs it.
struct SittingView {
  const Sitting& sitting;
  const std::vector<std::vector<std::string>>& paper;  // the reference lines of each part
  const SeatTerms& terms;
};

// What the room knows of a seat beyond its stored records.
struct SeatPresence {
  std::int64_t last_seen_ms = 0;  // the candidate's last call
  bool storage_trouble = false;   // the seat's last change could not be written
};

// The candidate's state: stage "wait" (WaitingState, for a seat not admitted), "method",
// "ready", "typing" (with the part's reference lines, its text and version) or "done" (with the
// results the sitting shows).
nlohmann::json CandidateState(const Seat& seat, const SittingView& view, std::int64_t now);

// What a candidate sees while waiting for the proctor: who they are and what they wait for
// ("admission": the seat is not admitted yet; "move": another browser holds the seat).
nlohmann::json WaitingState(const Seat& seat, std::string_view waits_for);

// The seat on the proctor's board. `disconnected_after_ms`: a seat being typed whose browser has
// been silent that long is shown disconnected.
nlohmann::json BoardEntry(const Seat& seat, const SittingView& view, const SeatPresence& presence,
                          std::int64_t now, std::int64_t disconnected_after_ms);

// An SVG image of a QR code's modules (rows of dark = true), with the quiet zone of four modules
// that readers need; one module is one unit of its view box.
std::string QrCodeSvg(const std::vector<std::vector<bool>>& modules);

// The input methods a candidate chooses from.
nlohmann::json MethodNames();

// The kind of the sitting in words (模擬測驗, 考試, ...), and the kinds a sitting may be, as the
// proctor's form offers them: [{"TestType": "3", "label": "模擬測驗"}, ...].
std::string KindLabelOf(const Sitting& sitting);
nlohmann::json KindChoices();

}  // namespace keyin::server
