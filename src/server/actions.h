// The acts of people with authority over a sitting (adding time, ending it, opening it): each one
// a line of the sitting's action log, kept so that a result can be read with what was done to it
// and why. Pure: the forms of a line and the words a person reads.
#pragma once

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace keyin::server {

struct Action {
  std::string who{};         // the account that acted
  std::string at{};          // local time "yyyy/MM/dd HH:mm:ss"
  std::string seat{};        // SeatNo; empty for an act on the whole sitting
  std::string action{};      // "add-time", "end", "open", "admit", "approve-move", "refuse-move"
  std::string reason{};      // as the person wrote it; may be empty where no reason is asked
  std::int64_t seconds = 0;  // add-time: the time added
  int part = 0;              // add-time: the part that got it

  friend bool operator==(const Action&, const Action&) = default;
};

nlohmann::json ActionToJson(const Action& action);

// The actions of a log's text, oldest first. A last line without its end (a write cut short) is
// not an action; any other line that is not one throws std::runtime_error naming its number.
std::vector<Action> ParseActions(std::string_view log);

// What a person reads beside a candidate: "加時 2 分鐘：電腦當機重開".
std::string ActionText(const Action& action);

// The reason as a log keeps it: blanks around it cut, line ends and other control characters
// made blanks; at most 200 characters.
std::string CleanReason(std::string_view reason);

// Each seat's actions, as the texts people read, in order.
std::map<std::string, std::vector<std::string>> ActionTextsBySeat(
    const std::vector<Action>& actions);

}  // namespace keyin::server
