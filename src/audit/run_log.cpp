#include "audit/run_log.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

namespace keyin {
namespace {

// Ordered, so a line reads as its run happened: who, when, what, how it ended.
using json = nlohmann::ordered_json;

json FileJson(const LoggedFile& file) { return {{"path", file.path}, {"sha256", file.sha256}}; }

std::optional<LoggedFile> FileOf(const json& line, const char* key) {
  const auto found = line.find(key);
  if (found == line.end() || found->is_null()) return std::nullopt;
  return LoggedFile{found->at("path").get<std::string>(), found->at("sha256").get<std::string>()};
}

std::optional<double> NumberOf(const json& line, const char* key) {
  const auto found = line.find(key);
  if (found == line.end() || found->is_null()) return std::nullopt;
  return found->get<double>();
}

std::string TextOf(const json& line, const char* key) {
  const auto found = line.find(key);
  return found == line.end() || found->is_null() ? std::string() : found->get<std::string>();
}

}  // namespace

std::string FormatLogLine(const RunLogEntry& entry) {
  json line = {
      {"id", entry.id},
      {"program", entry.program},
      {"time", FormatDateTime(entry.time, kStoredDateTimePattern)},
      {"seconds", entry.seconds},
      {"arguments", entry.arguments},
      {"exit", entry.exit_status},
  };
  if (!entry.failure.empty()) line["failure"] = entry.failure;
  if (entry.speed) line["speed"] = *entry.speed;
  if (entry.error_rate) line["error_rate"] = *entry.error_rate;
  if (entry.paper) line["paper"] = FileJson(*entry.paper);
  if (entry.answer) line["answer"] = FileJson(*entry.answer);
  line["reports"] = entry.reports;
  if (!entry.codes_method.empty()) line["codes_method"] = entry.codes_method;
  line["computer_name"] = entry.computer_name;
  line["host_name"] = entry.host_name;
  if (!entry.replay_of.empty()) line["replay_of"] = entry.replay_of;
  return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<RunLogEntry> ParseLogLine(std::string_view line) {
  const json parsed = json::parse(line, nullptr, false);
  if (!parsed.is_object()) return std::nullopt;
  try {
    RunLogEntry entry;
    entry.id = parsed.at("id").get<std::string>();
    entry.program = parsed.at("program").get<std::string>();
    const std::optional<DateTime> time = ParseDateTime(parsed.at("time").get<std::string>());
    if (!time || entry.id.empty()) return std::nullopt;
    entry.time = *time;
    entry.seconds = parsed.at("seconds").get<double>();
    entry.arguments = parsed.at("arguments").get<std::string>();
    // Only a whole number is an exit status: converting a fraction or 1e300 to int is undefined.
    const json& exit = parsed.at("exit");
    if (!exit.is_number_integer()) return std::nullopt;
    const std::int64_t exit_status = exit.get<std::int64_t>();
    if (exit_status < std::numeric_limits<int>::min() ||
        exit_status > std::numeric_limits<int>::max()) {
      return std::nullopt;
    }
    entry.exit_status = static_cast<int>(exit_status);
    entry.failure = TextOf(parsed, "failure");
    entry.speed = NumberOf(parsed, "speed");
    entry.error_rate = NumberOf(parsed, "error_rate");
    entry.paper = FileOf(parsed, "paper");
    entry.answer = FileOf(parsed, "answer");
    if (const auto reports = parsed.find("reports"); reports != parsed.end()) {
      entry.reports = reports->get<std::vector<std::string>>();
    }
    entry.codes_method = TextOf(parsed, "codes_method");
    entry.computer_name = TextOf(parsed, "computer_name");
    entry.host_name = TextOf(parsed, "host_name");
    entry.replay_of = TextOf(parsed, "replay_of");
    return entry;
  } catch (const json::exception&) {
    return std::nullopt;  // a line of the right shape with a field of the wrong type
  }
}

std::vector<RunLogEntry> ParseLog(std::string_view text) {
  std::vector<RunLogEntry> entries;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    // A last line without its end was cut short by a run that was killed: it is no entry.
    if (end == std::string_view::npos) break;
    if (std::optional<RunLogEntry> entry = ParseLogLine(text.substr(0, end))) {
      entries.push_back(std::move(*entry));
    }
    text.remove_prefix(end + 1);
  }
  return entries;
}

}  // namespace keyin
