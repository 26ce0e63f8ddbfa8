// keyin-tool results over rows stored by real scoring runs of every kind: the CSV read back
// equals the rows as the sqlcipher shell reads them, filters select exactly their rows, and no
// failure leaves a partial file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "db_helpers.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

// A CSV field: its text, or nothing for an empty field without quotes (a missing value).
using Field = std::optional<std::string>;
using Record = std::vector<Field>;

// RFC 4180 records; a record ends at CR LF or at LF (the shell writes LF).
std::vector<Record> ParseCsv(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<Record> records;
  Record record;
  std::string field;
  bool quoted = false, in_quotes = false;
  const auto end_field = [&] {
    record.push_back(quoted || !field.empty() ? Field(field) : std::nullopt);
    field.clear();
    quoted = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_quotes) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        in_quotes = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      in_quotes = quoted = true;
    } else if (c == ',') {
      end_field();
    } else if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (c == '\r') ++i;
      end_field();
      records.push_back(std::exchange(record, {}));
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(field.empty() && record.empty() && !in_quotes) << "the text ends inside a record";
  return records;
}

struct Kind {
  const char *name, *table, *columns, *database, *password;
};
const Kind kKinds[] = {
    {"exam", "Keyin",
     "ExamPlaceNo, ExamNo, UserID, ExamPaperNo, Score1, Err1, Score2, Err2, Score, Err, ExamDate",
     "drive_c/ANS.VOR/ANS.mdb", "5820"},
    {"offline", "OfflineScore", "SessionSeatNo, Tno, Score1, Err1, Score2, Err2, Score3, Err3",
     "Vorkeyin.mdb", "K4T7W2"},
    {"mock", "TestScore_Student",
     "Id, Stuname, TestNum, Tno, Score1, Err1, Score2, Err2, Score, Err, SubtractScore, ErWords1, "
     "ErWords2, Keyin, TestDay, LocalHostName",
     "Vorkeyin.mdb", "K4T7W2"},
    {"practice", "TempScore",
     "id, StuName, ClassName, ClassNum, Topic, UseTime, TotTime, SubtractScore, tno, Keyin, "
     "TotalChr, RightChr, ErrChr, ErrPercen, Average, TestDate, ErWords, LocalHostName",
     "Vorkeyin.mdb", "K4T7W2"},
};

// One program folder for the suite, filled by scoring runs of every kind on three days.
class Results : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ProgramFolder();
    folder_->InstallSamplePaper("P001");
    folder_->InstallSamplePaper("P002");
    RunArgs args = DefaultArgs(*folder_);
    args.UseTime = "60";
    struct Run {
      const char *TestType, *UserID, *StuName, *SessionNo, *SeatNo, *paper, *ClassName, *day;
      std::size_t lines;  // typed correctly, in both parts
    };
    const Run runs[] = {
        {"5", "S1", "王小明", "3", "15", "P001", "甲班", "2024-03-04", 3},
        {"5", "S2", "李大同", "3", "16", "P002", "甲班", "2024-03-05", 2},
        {"4", "", "", "3", "15", "P001", "", "2024-03-04", 4},
        {"4", "", "", "30", "15", "P001", "", "2024-03-05", 2},
        {"3", "S1", "王小明", "3", "15", "P001", "甲班", "2024-03-04", 3},
        {"3", "S3", "陳小美", "30", "15", "P002", "乙班", "2024-03-06", 5},
        {"1", "S1", "王小明", "3", "15", "P001", "甲班", "2024-03-04", 2},
        {"2", "S1", "王小明", "3", "15", "P001", "甲班", "2024-03-06", 4},
        {"1", "S2", "李大同", "3", "16", "P002", "乙班", "2024-03-05", 3},
    };
    for (const Run& run : runs) {
      args.TestType = run.TestType;
      args.UserID = run.UserID;
      args.StuName = run.StuName;
      args.SessionNo = run.SessionNo;
      args.SeatNo = run.SeatNo;
      args.ExamPaperNo = run.paper;
      args.ClassName = run.ClassName;
      // Practice keeps one row per part (a later run of the same seat and paper replaces it);
      // the others store part 1 and then both with the review.
      for (const char* part : {"1", "2"}) {
        args.TestPart = part;
        TypeExactly(args, part[0] - '0', run.lines - (part[0] == '2'));
        const ProcessResult result =
            folder_->Scorer(args.Join(), std::string(run.day) + " 10:0" + part + ":00");
        ASSERT_EQ(result.exit_status, 0) << result.err;
      }
    }
    // The exam room's rosters give class 乙班 to rows whose tables keep no class: S2's exam of
    // P002, S3's mock test of P002, and the offline exam at session 30, seat 15.
    const std::string insert =
        "INSERT INTO SittingCandidates (SittingId, ExamPaperNo, SessionNo, SeatNo, UserID, "
        "ClassName) VALUES ";
    OpenAnswers(*folder_)->Execute(insert + "('R1', 'P002', '3', '16', 'S2', '乙班')");
    OpenKeyin(*folder_)->Execute(insert +
                                 "('R2', 'P002', '30', '15', 'S3', '乙班'), "
                                 "('R3', 'P001', '30', '15', 'S9', '乙班')");
    // A name as only an administrator's edit can store it (a comma cannot pass a run); the CSV
    // reads it back as the shell does (CsvOfEveryKindReadsBackAsTheShellReadsTheTable).
    OpenKeyin(*folder_)->Execute("UPDATE TestScore_Student SET Stuname = ? WHERE Id = 'S3'",
                                 {std::u16string(u"陳, \"小\"\r\n美")});
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  static ProcessResult Tool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "results");
    return folder_->Tool(arguments);
  }

  // The rows of the table as the database shell gives them in CSV, header first: the sqlcipher
  // shell on the files, psql on a server. Column names in lower case (the server folds them).
  static std::vector<Record> Shell(const Kind& kind) {
    const std::string query = std::string("SELECT ") + kind.columns + " FROM " + kind.table;
    const ProcessResult shell =
        folder_->OnServer()
            // COPY quotes every value, so an empty text stays apart from a missing one.
            ? RunProgram("psql",
                         {*folder_->DatabaseUrl(), "-c",
                          "COPY (" + query + ") TO STDOUT (FORMAT csv, HEADER, FORCE_QUOTE *)"})
            : RunProgram("sqlcipher",
                         {"-csv", "-header", (folder_->Root() / kind.database).string(),
                          std::string("PRAGMA key = '") + kind.password + "';",
                          "PRAGMA kdf_iter = 4000;", query});
    EXPECT_EQ(shell.exit_status, 0) << shell.err;
    return LowerCaseHeader(ParseCsv(shell.out));
  }

  static std::vector<Record> LowerCaseHeader(std::vector<Record> records) {
    if (!records.empty()) {
      for (Field& name : records.front()) {
        if (name) std::transform(name->begin(), name->end(), name->begin(), ::tolower);
      }
    }
    return records;
  }

  static ProgramFolder* folder_;
};
ProgramFolder* Results::folder_ = nullptr;

std::vector<Record> Sorted(std::vector<Record> records) {
  std::sort(records.begin() + 1, records.end());
  return records;
}

TEST_F(Results, CsvOfEveryKindReadsBackAsTheShellReadsTheTable) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const ProcessResult csv = Tool({"--kind", kind.name, "--format", "csv"});
    ASSERT_EQ(csv.exit_status, 0) << csv.err;
    EXPECT_TRUE(
        csv.out.starts_with("\xEF\xBB\xBF"
                            "kind,"))
        << "UTF-8 with a byte-order mark";
    EXPECT_EQ(csv.out.find('\n'), csv.out.find("\r\n") + 1) << "records end in CR LF";
    std::vector<Record> ours = ParseCsv(csv.out);
    ASSERT_GT(ours.size(), 1u);
    EXPECT_EQ(ours[0][0], "kind");
    for (std::size_t i = 1; i < ours.size(); ++i) EXPECT_EQ(ours[i][0], kind.name);
    for (Record& record : ours) record.erase(record.begin());
    EXPECT_EQ(Sorted(LowerCaseHeader(ours)), Sorted(Shell(kind)));
  }
}

TEST_F(Results, FiltersSelectExactlyTheirRows) {
  struct Case {
    const char* behaviour;
    std::vector<std::string> arguments;
    std::string rows;  // kind and ID (or seat) and paper of each row, sorted
  };
  const Case cases[] = {
      {"a user in every kind that stores one",
       {"--user", "S1"},
       "exam S1 P001; mock S1 P001; practice S1 P001-1; practice S1 P001-2"},
      {"a paper; practice rows of both its parts",
       {"--paper", "P002", "--kind", "exam,practice"},
       "exam S2 P002; practice S2 P002-1; practice S2 P002-2"},
      {"a class: stored by practice rows, given to the others by the rosters",
       {"--class", "乙班"},
       "exam S2 P002; mock S3 P002; offline 3015 P001; practice S2 P002-1; practice S2 P002-2"},
      {"a session is the start of the joined session and seat",
       {"--session", "30"},
       "mock S3 P002; offline 3015 P001"},
      {"one day, inclusive",
       {"--from", "2024/03/05", "--to", "2024/03/05"},
       "exam S2 P002; practice S2 P002-1; practice S2 P002-2"},
      {"since a moment, a row stored at that very second included",
       {"--since", "2024/03/06 10:02:00"},
       "practice S1 P001-2"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--format", "json"});
    const ProcessResult json = Tool(arguments);
    ASSERT_EQ(json.exit_status, 0) << c.behaviour << json.err;
    // One object per line: pick the kind, the ID or seat and the paper out of each.
    std::vector<std::string> rows;
    const auto value = [](const std::string& line, const std::string& key) {
      const std::size_t at = line.find("\"" + key + "\":\"");
      if (at == std::string::npos) return std::string();
      const std::size_t start = at + key.size() + 4;
      return line.substr(start, line.find('"', start) - start);
    };
    std::size_t start = 0;
    while ((start = json.out.find("{\"kind\"", start)) != std::string::npos) {
      const std::string line = json.out.substr(start, json.out.find('\n', start) - start);
      std::string who = value(line, "UserID") + value(line, "Id") + value(line, "id");
      if (who.empty()) who = value(line, "SessionSeatNo");
      rows.push_back(value(line, "kind") + " " + who + " " + value(line, "ExamPaperNo") +
                     value(line, "Tno") + value(line, "tno"));
      ++start;
    }
    std::sort(rows.begin(), rows.end());
    std::string shown;
    for (const std::string& row : rows) shown += (shown.empty() ? "" : "; ") + row;
    EXPECT_EQ(shown, c.rows) << c.behaviour;
  }
}

TEST_F(Results, RefusesWhatCouldNeverSelectARowAndWritesNothing) {
  struct Case {
    const char* behaviour;
    std::vector<std::string> arguments;
    const char* complaint;
  };
  const Case cases[] = {
      {"a filter the named kind does not store",
       {"--kind", "offline", "--user", "S1"},
       "--user cannot select offline results"},
      {"a day not written yyyy/MM/dd", {"--from", "2024-03-05"}, "--from needs a day"},
      {"a day that does not exist", {"--to", "2024/02/30"}, "--to needs a day"},
      {"from after to", {"--from", "2024/03/06", "--to", "2024/03/05"}, "is after --to"},
      {"a moment without its time", {"--since", "2024/03/06"}, "--since needs a date-time"},
      {"a moment of a kind that stores none",
       {"--kind", "offline", "--since", "2024/03/06 10:00:00"},
       "--since cannot select offline results"},
      {"code page 950 for JSON", {"--encoding", "cp950", "--format", "json"}, "CSV only"},
  };
  const fs::path out = folder_->Root() / "refused.csv";
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {"--output", out.string()});
    const ProcessResult result = Tool(arguments);
    EXPECT_EQ(result.exit_status, 2) << c.behaviour;
    EXPECT_TRUE(Contains(result.err, c.complaint)) << c.behaviour << ": " << result.err;
    EXPECT_FALSE(fs::exists(out)) << c.behaviour;
  }
}

TEST_F(Results, Cp950RefusesACharacterOutsideItAndKeepsTheOldFile) {
  const fs::path out = folder_->Root() / "cp950.csv";
  ProcessResult result =
      Tool({"--kind", "practice", "--encoding", "cp950", "--output", out.string()});
  ASSERT_EQ(result.exit_status, 0) << result.err;
  const std::string bytes = ReadBytes(out);
  const ProcessResult utf8 = Tool({"--kind", "practice", "--format", "csv"});
  EXPECT_EQ(Utf16ToUtf8(Cp950ToUtf16(bytes)), utf8.out.substr(3)) << "the same text, no mark";

  OpenKeyin(*folder_)->Execute(
      "INSERT INTO TempScore (id, StuName, tno) VALUES ('S9', '林😀', 'P001-1')");
  result = Tool({"--kind", "practice", "--encoding", "cp950", "--output", out.string()});
  OpenKeyin(*folder_)->Execute("DELETE FROM TempScore WHERE id = 'S9'");
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_TRUE(Contains(result.err, "code page 950 has no character for \"😀\" (U+1F600)"))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "column StuName")) << result.err;
  EXPECT_EQ(ReadBytes(out), bytes) << "the old file stays whole";
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(folder_->Root())) {
    files += entry.path().filename().string().starts_with("cp950.csv");
  }
  EXPECT_EQ(files, 1u) << "no temporary file left";
}

TEST_F(Results, FormatFollowsTheOutputFileAndCsvIsTheDefaultOnAPipe) {
  EXPECT_TRUE(Tool({"--kind", "exam"})
                  .out.starts_with("\xEF\xBB\xBF"
                                   "kind,"));
  const fs::path html = folder_->Root() / "report.html";
  ASSERT_EQ(Tool({"--output", html.string()}).exit_status, 0);
  const std::string page = ReadBytes(html);
  EXPECT_TRUE(page.starts_with("<!DOCTYPE html>"));
  std::size_t points = 0;
  for (std::size_t at = page.find("data-user="); at != std::string::npos;
       at = page.find("data-user=", at + 1)) {
    ++points;
  }
  const ProcessResult csv = Tool({"--format", "csv"});
  EXPECT_EQ(points, ParseCsv(csv.out).size() - 1) << "one point per result";
  ASSERT_EQ(Tool({"--output", html.string(), "--user", "nobody"}).exit_status, 0);
  EXPECT_TRUE(Contains(ReadBytes(html), "沒有符合條件的成績。"));
  const ProcessResult table = Tool({"--kind", "mock", "--format", "table"});
  // The class comes from the roster of the sitting S3 sat (--class: FiltersSelectExactlyTheirRows).
  EXPECT_TRUE(Contains(table.out, "\nS3    陳, \"小\"  美  乙班  3015  P002")) << table.out;
}

TEST(ResultsStore, AMissingDatabaseExitsThreeUnlessNoKindNeedsIt) {
  ProgramFolder folder;
  fs::remove(folder.AnswerDatabase());
  ProcessResult result = folder.Tool({"results"});
  EXPECT_EQ(result.exit_status, 3);
  EXPECT_TRUE(Contains(result.err, "answer database unavailable")) << result.err;
  result = folder.Tool({"results", "--kind", "practice,mock"});
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_EQ(folder.Tool({"results", "--class", "甲班"}).exit_status, 3)
      << "an exam row's class comes from the rosters beside it in ANS.mdb";
}

}  // namespace
}  // namespace keyin::e2e
