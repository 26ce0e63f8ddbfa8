#include "server/typing_rules.h"

#include <algorithm>

namespace keyin::server {

std::int64_t CountTypedCharacters(std::string_view text) {
  std::int64_t count = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    // Count lead bytes only: continuation bytes are 10xxxxxx.
    if ((byte & 0xC0) != 0x80 && c != '\n' && c != '\r') ++count;
  }
  return count;
}

std::vector<std::string> AnswerLines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool GrowsTooFast(std::int64_t previous_chars, std::int64_t previous_ms, std::int64_t chars,
                  std::int64_t now_ms) {
  const std::int64_t growth = chars - previous_chars;
  const std::int64_t elapsed_ms = std::max<std::int64_t>(now_ms - previous_ms, 1);
  return growth > 50 && growth * 1000 > 10 * elapsed_ms;
}

int UseTimeSeconds(std::int64_t started_ms, std::int64_t deadline_ms, std::int64_t submitted_ms) {
  const std::int64_t end = std::min(submitted_ms, deadline_ms);
  const std::int64_t seconds = (end - started_ms + 500) / 1000;
  return static_cast<int>(std::max<std::int64_t>(seconds, 1));
}

std::string SeatScrPath(const Sitting& sitting, const Candidate& candidate) {
  const char separator = sitting.ScrPath.empty() ? '/' : sitting.ScrPath.back();
  return sitting.ScrPath + sitting.SessionNo + "-" + candidate.SeatNo + separator;
}

std::string ArgumentString(const Sitting& sitting, const Candidate& candidate, int part,
                           int allowed_seconds, int use_time, std::string_view seat_scr_path) {
  const std::string fields[] = {sitting.ExamPlaceNo,
                                sitting.ExamNo,
                                sitting.ExamPaperNo,
                                "",
                                sitting.TestType,
                                candidate.UserID,
                                candidate.StuName,
                                sitting.SessionNo,
                                candidate.SeatNo,
                                std::to_string(part),
                                std::to_string(allowed_seconds),
                                std::to_string(use_time),
                                sitting.SubtractScore,
                                sitting.LibPath,
                                std::string(seat_scr_path),
                                candidate.ClassName};
  std::string joined;
  for (const std::string& field : fields) {
    if (!joined.empty() || &field != &fields[0]) joined += ',';
    joined += field;
  }
  return joined;
}

}  // namespace keyin::server
