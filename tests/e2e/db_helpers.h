// Helpers of the database tests: typed answers with known scores, and tables read back.
#pragma once

#include <utility>

#include "harness.h"
#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/postgres_store.h"

namespace keyin::e2e {

// The folder's databases, on the server or in the files as the folder stores them.
inline std::unique_ptr<DbConnection> OpenKeyin(const ProgramFolder& folder) {
  if (folder.OnServer()) return OpenServerStore(*folder.DatabaseUrl());
  return OpenDatabase(folder.KeyinDatabase().string(), "K4T7W2");
}
inline std::unique_ptr<DbConnection> OpenAnswers(const ProgramFolder& folder) {
  if (folder.OnServer()) return OpenServerStore(*folder.DatabaseUrl());
  return OpenDatabase(folder.AnswerDatabase().string(), "5820");
}

// Makes every insert into the table fail with "refused", in the store's own trigger language.
inline void RefuseInserts(const ProgramFolder& folder, DbConnection& db, const std::string& table) {
  if (folder.OnServer()) {
    db.Execute(
        "CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
        "$$BEGIN RAISE EXCEPTION 'refused'; END$$");
    db.Execute("CREATE TRIGGER refuse BEFORE INSERT ON " + table +
               " FOR EACH ROW EXECUTE FUNCTION refuse()");
  } else {
    db.Execute("CREATE TRIGGER refuse BEFORE INSERT ON " + table +
               " BEGIN SELECT RAISE(ABORT, 'refused'); END");
  }
}

// "<null>", the text as UTF-8, or the number's shortest digits.
inline std::string Shown(const DbValue& value) {
  if (IsEmpty(value)) return "<null>";
  if (const auto* text = std::get_if<std::u16string>(&value)) return Utf16ToUtf8(*text);
  std::string digits = std::to_string(std::get<double>(value));
  digits.erase(digits.find_last_not_of('0') + 1);
  if (digits.back() == '.') digits.pop_back();
  return digits;
}

// The rows of a query as one string: values as Shown, split by " ", rows by "; ".
inline std::string Dump(DbConnection& db, const std::string& sql) {
  std::string shown, row_separator;
  const DbRows rows = db.Query(sql);
  for (const DbRow& row : rows.All()) {
    std::string separator = std::exchange(row_separator, "; ");
    for (const DbValue& value : row.Values()) shown += std::exchange(separator, " ") + Shown(value);
  }
  return shown;
}

// The arguments of a seat with a score folder of its own: the candidate "S<name>" at seat
// <name>, in a run of the kind, of 60 seconds.
inline RunArgs SeatArgs(const ProgramFolder& folder, const std::string& name, const char* kind) {
  RunArgs args = DefaultArgs(folder);
  args.ScrPath = (folder.Root() / ("scores-" + name)).string() + "/";
  std::filesystem::create_directories(args.ScrPath);
  args.TestType = kind;
  args.UserID = "S" + name;
  args.SeatNo = name;
  args.UseTime = "60";
  return args;
}

// Writes the sample paper's first `count` lines of the part as its typed answer in the score
// folder of `args`. In 60 seconds that scores the returned character count with 0% errors.
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

// Lines of the sample paper's part 1 that differ for every `n` below 32, so that each run of a
// test can be told by its typed answer: the first 1 to 16 lines, then again without the first
// character.
inline std::vector<std::string> DistinctAnswer(int n) {
  std::vector<std::string> lines =
      ReadUtf8Lines(std::filesystem::path(KEYIN_SAMPLES) / "paper-test1.txt");
  lines.resize(static_cast<std::size_t>(1 + n % 16));
  if (n >= 16) lines[0] = Utf16ToUtf8(Utf8ToUtf16(lines[0]).substr(1));
  return lines;
}

}  // namespace keyin::e2e
