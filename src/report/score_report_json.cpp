// The JSON form of the score report (docs/report-format.md). Texts are UTF-8 (a lone surrogate
// of a damaged answer becomes U+FFFD); numbers are numbers, written as the report files write them.
#include <cmath>
#include <nlohmann/json.hpp>

#include "platform/code_page.h"
#include "platform/utf8.h"
#include "report/json_number.h"
#include "report/score_report.h"
#include "scoring/inputs.h"
#include "support/number_text.h"

namespace keyin::report {
namespace {

using Json = nlohmann::ordered_json;

std::string Text(std::u16string_view text) { return Utf16ToUtf8(text); }

// A whole character, one outside the Basic Multilingual Plane too; a lone surrogate is U+FFFD.
std::string Character(char32_t character) { return Utf16ToUtf8(Utf16Of(character)); }

// A number the run parameters or the time line give as text.
Json NumberOfText(std::u16string_view text) {
  const std::optional<double> number = ParseNumber(text);
  return number ? JsonNumber(*number) : Json(nullptr);
}

const char* KindName(MarkKind kind) {
  switch (kind) {
    case MarkKind::kMissing:
      return "missing";
    case MarkKind::kWrong:
      return "wrong";
    case MarkKind::kExtra:
      break;
  }
  return "extra";
}

// How to type a character in the report's method: {"method", "keys", "radicals"}, when known.
void AddCode(Json& json, const CharacterCodes& codes, char32_t character) {
  const auto found = codes.of.find(character);
  if (found == codes.of.end()) return;
  json["code"] = {
      {"method", codes.method}, {"keys", found->second.keys}, {"radicals", found->second.names}};
}

Json MarkJson(const CharacterMark& mark, const CharacterCodes& codes) {
  Json json;
  json["kind"] = KindName(mark.kind);
  json["position"] = mark.position;
  if (mark.kind != MarkKind::kExtra) json["expected"] = Character(mark.expected);
  if (mark.kind != MarkKind::kMissing) json["typed"] = Character(mark.typed);
  json["charged"] = mark.charged;
  // The units the mark counts, when a character outside the Basic Multilingual Plane makes them
  // two.
  if (mark.units != 1) json["units"] = mark.units;
  if (mark.kind != MarkKind::kExtra) AddCode(json, codes, mark.expected);
  return json;
}

Json LineJson(const MarkedLine& line, const CharacterCodes& codes) {
  const bool matched = line.reference_number != 0;
  Json json;
  json["typed"] = line.typed_number;
  json["reference"] = matched ? Json(line.reference_number) : Json(nullptr);
  json["typed_text"] = Text(line.typed_text);
  json["reference_text"] = matched ? Json(Text(line.reference_text)) : Json(nullptr);
  json["charged_chars"] = line.charged_chars;
  json["hits"] = line.hits;
  json["missing"] = line.marks.missing;
  json["wrong"] = line.marks.wrong;
  json["extra"] = line.marks.extra;
  json["score"] = JsonNumber(line.score);
  json["counted"] = line.counted;
  Json marks = Json::array();
  for (const CharacterMark& mark : line.marks.marks) marks.push_back(MarkJson(mark, codes));
  json["marks"] = std::move(marks);
  return json;
}

}  // namespace

std::string ScoreReportJson(const ScoreReport& report) {
  const RunParams& params = report.params;
  const Scores& scores = report.scores;
  Json json;
  json["format"] = "keyin-score-report";
  json["version"] = 1;
  json["test_file"] = Text(TestFileNameOf(params.TestPart));
  json["user_id"] = Text(params.UserID);
  json["name"] = Text(params.StuName);
  json["class"] = Text(params.ClassName);
  json["paper"] = Text(params.ExamPaperNo);
  json["test_part"] = Text(params.TestPart);
  json["test_type"] = Text(params.TestType);
  json["kind"] = Text(report.kind_label);
  json["exam_place"] = Text(params.ExamPlaceNo);
  json["exam_no"] = Text(params.ExamNo);
  json["session"] = Text(params.SessionNo);
  json["seat"] = Text(params.SeatNo);
  json["use_time"] = NumberOfText(params.UseTime);
  json["time_minutes"] = NumberOfText(scores.TestMinutesText);
  json["time_seconds"] = NumberOfText(scores.TestSecondsText);
  json["speed"] = JsonNumber(scores.CharsPerMinute);
  json["error_rate"] = JsonNumber(scores.ErrorRate);
  json["errors"] = JsonNumber(static_cast<double>(scores.ErrorCount));
  json["total_chars"] = JsonNumber(static_cast<double>(scores.TotalChars));
  json["deduction"] = JsonNumber(scores.Deduction);
  // Only a deduction standard above 0.5 reports an adjusted speed, and only once lines scored.
  json["adjusted_speed"] = params.SubtractScore > 0.5 && scores.AdjustedCharsPerMinute
                               ? JsonNumber(*scores.AdjustedCharsPerMinute)
                               : Json(nullptr);
  json["answer_too_small"] = report.answer_too_small;

  Json lines = Json::array();
  for (const MarkedLine& line : report.lines) lines.push_back(LineJson(line, report.codes));
  json["lines"] = std::move(lines);
  Json skipped = Json::array();
  std::size_t skipped_chars = 0;
  for (const SkippedLine& line : report.skipped) {
    skipped.push_back(line.number);
    skipped_chars += line.text.size();
  }
  json["skipped"] = std::move(skipped);
  json["skipped_chars"] = skipped_chars;
  Json mistakes = Json::array();
  for (const Mistake& mistake : report.mistakes) {
    mistakes.push_back({{"expected", Character(mistake.expected)},
                        {"typed", Character(mistake.typed)},
                        {"count", mistake.count}});
    AddCode(mistakes.back(), report.codes, mistake.expected);
  }
  json["mistakes"] = std::move(mistakes);
  Json missed = Json::array();
  for (const CharacterCount& character : report.missed) {
    missed.push_back({{"character", Text(character.character)}, {"count", character.count}});
    if (!character.character.empty()) {
      AddCode(missed.back(), report.codes, CharacterAt(character.character, 0).code_point);
    }
  }
  json["missed"] = std::move(missed);
  if (!report.codes.method.empty() || !report.codes.missing.empty()) {
    const std::optional<double>& keys = report.codes.keys_per_character;
    json["codes"] = {
        {"method", report.codes.method.empty() ? Json(nullptr) : Json(report.codes.method)},
        {"missing", report.codes.missing},
        {"keys_per_character", keys ? JsonNumber(std::round(*keys * 10) / 10) : Json(nullptr)},
        {"keys_per_minute",
         keys ? JsonNumber(std::round(report.scores.CharsPerMinute * *keys)) : Json(nullptr)}};
  }
  return json.dump(2) + "\n";
}

}  // namespace keyin::report
