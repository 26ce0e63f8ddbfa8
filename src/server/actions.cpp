#include "server/actions.h"

#include <algorithm>
#include <stdexcept>

#include "platform/code_page.h"

namespace keyin::server {

using nlohmann::json;

json ActionToJson(const Action& action) {
  json line = {{"who", action.who},
               {"at", action.at},
               {"seat", action.seat},
               {"action", action.action},
               {"reason", action.reason}};
  if (action.action == "add-time") {
    line["seconds"] = action.seconds;
    line["part"] = action.part;
  }
  return line;
}

std::vector<Action> ParseActions(std::string_view log) {
  std::vector<Action> actions;
  int number = 0;
  while (!log.empty()) {
    const std::size_t end = log.find('\n');
    if (end == std::string_view::npos) break;  // cut short: never acknowledged
    const std::string_view line = log.substr(0, end);
    log.remove_prefix(end + 1);
    ++number;
    const json object = json::parse(line, nullptr, false);
    try {
      if (!object.is_object()) throw std::runtime_error("not a JSON object");
      Action action;
      action.who = object.at("who").get<std::string>();
      action.at = object.at("at").get<std::string>();
      action.seat = object.at("seat").get<std::string>();
      action.action = object.at("action").get<std::string>();
      action.reason = object.at("reason").get<std::string>();
      action.seconds = object.value("seconds", std::int64_t{0});
      action.part = object.value("part", 0);
      actions.push_back(std::move(action));
    } catch (const std::exception& failure) {
      throw std::runtime_error("line " + std::to_string(number) +
                               " of the action log: " + failure.what());
    }
  }
  return actions;
}

std::string ActionText(const Action& action) {
  std::string text;
  if (action.action == "add-time") {
    const std::int64_t minutes = action.seconds / 60, seconds = action.seconds % 60;
    text = "加時 ";
    if (minutes > 0) text += std::to_string(minutes) + " 分鐘";
    if (minutes > 0 && seconds > 0) text += " ";
    if (seconds > 0 || minutes == 0) text += std::to_string(seconds) + " 秒";
  } else if (action.action == "end") {
    text = "結束場次";
  } else if (action.action == "open") {
    text = "開放場次";
  } else if (action.action == "open-now") {
    text = "提前開始";
  } else if (action.action == "admit") {
    text = "准許入場";
  } else if (action.action == "approve-move") {
    text = "同意換電腦";
  } else if (action.action == "refuse-move") {
    text = "拒絕換電腦";
  } else {
    text = action.action;
  }
  if (!action.reason.empty()) text += "：" + action.reason;
  return text;
}

std::string CleanReason(std::string_view reason) {
  std::u16string text = Utf8ToUtf16(reason);
  for (char16_t& c : text) {
    if (c < 0x20 || c == 0x7f) c = u' ';
  }
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\u3000'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  std::size_t first = 0;
  while (first < text.size() && blank(text[first])) ++first;
  std::size_t length = std::min<std::size_t>(text.size() - first, 200);
  // Never half of a surrogate pair.
  if (length == 200 && text[first + length - 1] >= 0xD800 && text[first + length - 1] < 0xDC00) {
    --length;
  }
  return Utf16ToUtf8(text.substr(first, length));
}

std::map<std::string, std::vector<std::string>> ActionTextsBySeat(
    const std::vector<Action>& actions) {
  std::map<std::string, std::vector<std::string>> texts;
  for (const Action& action : actions) {
    if (!action.seat.empty()) texts[action.seat].push_back(ActionText(action));
  }
  return texts;
}

}  // namespace keyin::server
