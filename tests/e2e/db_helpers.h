// Shared helpers of the storage tests: typed answers with known scores, and the tables read back
// through the database layer.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "harness.h"
#include "platform/code_page.h"
#include "platform/database.h"

namespace keyin::e2e {

inline constexpr char kKeyinPassword[] = "K4T7W2";
inline constexpr char kAnswerPassword[] = "5820";

inline std::unique_ptr<DbConnection> OpenKeyin(const ProgramFolder& folder) {
  return OpenDatabase(folder.KeyinDatabase().string(), kKeyinPassword);
}
inline std::unique_ptr<DbConnection> OpenAnswers(const ProgramFolder& folder) {
  return OpenDatabase(folder.AnswerDatabase().string(), kAnswerPassword);
}

// All rows of a table in the order they were inserted.
inline DbRows ReadTable(DbConnection& db, const std::string& table) {
  return db.Query("SELECT * FROM " + table + " ORDER BY rowid");
}

// A stored value as the test compares it: "<null>", the text as UTF-8, or the number's digits.
inline std::string Shown(const DbValue& value) {
  if (IsEmpty(value)) return "<null>";
  if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
  const double number = std::get<double>(value);
  std::string digits = std::to_string(number);
  digits.erase(digits.find_last_not_of('0') + 1);
  if (digits.back() == '.') digits.pop_back();
  return digits;
}

// faketime starts the clock at the given time and lets it run, so a stored time is compared
// without its last digit: a run may take a few seconds. Give start times that end in 0.
inline std::string UpToTenSeconds(const std::string& time) {
  return time.empty() ? time : time.substr(0, time.size() - 1);
}

// Writes the first `count` lines of the sample paper's part as the typed answer of that part in
// the score folder of `args`, exactly as printed. Typed so in 60 seconds, the part scores its
// character count per minute with 0 per cent errors; the count is returned.
inline int TypeExactly(const RunArgs& args, int part, std::size_t count) {
  const std::string sample =
      std::string(KEYIN_SAMPLES) + "/paper-test" + std::to_string(part) + ".txt";
  std::vector<std::string> lines = ReadUtf8Lines(sample);
  lines.resize(std::min(count, lines.size()));
  int chars = 0;
  for (const std::string& line : lines) chars += static_cast<int>(Utf8ToUtf16(line).size());
  WriteTypedAnswer(std::filesystem::path(args.ScrPath) / ("CTEST-" + std::to_string(part)), lines);
  return chars;
}

}  // namespace keyin::e2e
