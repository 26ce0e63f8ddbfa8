// The run log's lines: written as one JSON object each, and every line that is not an entry
// (blank, torn, written by hand, of the wrong types) left out. That every entry read is written
// back as the same entry is the run_log fuzz target's check, replayed over its seeds by ctest.
#include "audit/run_log.h"

#include <gtest/gtest.h>

#include <string>

namespace keyin {
namespace {

RunLogEntry FullEntry() {
  RunLogEntry entry;
  entry.id = "20240305T090702-0a1b2c3d";
  entry.program = kScorerProgram;
  entry.time = {2024, 3, 5, 9, 7, 2};
  entry.seconds = 1.25;
  entry.arguments =
      "A01,E01,P001,,5,S123456789,王小明,3,15,1,600,300,0,C:\\lib\\,C:\\scores\\,甲班";
  entry.exit_status = 0;
  entry.speed = 36;
  entry.error_rate = 1;
  entry.paper = LoggedFile{"/keyin/lib/P001.LIB", std::string(64, 'a')};
  entry.answer = LoggedFile{"/keyin/scores/CTEST-1", std::string(64, 'b')};
  entry.reports = {"/keyin/scores/CTEST-1.SCR", "/keyin/scores/CTEST-1.TOT",
                   "/keyin/scores/CTEST-1.CHK"};
  entry.computer_name = "ROOM-3";
  entry.host_name = "seat15";
  return entry;
}

// Scripts outside the system read these lines: the names and the order of the fields stay.
TEST(FormatLogLine, OneJsonObjectInTheOrderOfTheRun) {
  EXPECT_EQ(
      FormatLogLine(FullEntry()),
      R"({"id":"20240305T090702-0a1b2c3d","program":"keyin-scorer","time":"2024/03/05 09:07:02",)"
      R"("seconds":1.25,"arguments":"A01,E01,P001,,5,S123456789,王小明,3,15,1,600,300,0,)"
      R"(C:\\lib\\,C:\\scores\\,甲班","exit":0,"speed":36.0,"error_rate":1.0,)"
      R"("paper":{"path":"/keyin/lib/P001.LIB","sha256":")" +
          std::string(64, 'a') + R"("},"answer":{"path":"/keyin/scores/CTEST-1","sha256":")" +
          std::string(64, 'b') +
          R"("},"reports":["/keyin/scores/CTEST-1.SCR","/keyin/scores/CTEST-1.TOT",)"
          R"("/keyin/scores/CTEST-1.CHK"],"computer_name":"ROOM-3","host_name":"seat15"})");
}

// A text that is not UTF-8 (an argument string of another code page) still gives a line of
// JSON: its bad bytes read as U+FFFD.
TEST(ParseLogLine, BytesThatAreNoUtf8ReadAsReplacementCharacters) {
  RunLogEntry entry = FullEntry();
  entry.arguments = "A01,\xA4\xA4\xA4\xE5,\xFF";  // 中文 in code page 950, and a lone 0xFF
  entry.computer_name = "\xC0";
  const std::optional<RunLogEntry> read = ParseLogLine(FormatLogLine(entry));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->arguments, "A01,\uFFFD\uFFFD\uFFFD\uFFFD,\uFFFD");
  EXPECT_EQ(read->computer_name, "\uFFFD");
}

// Each case changes one field of a good line.
TEST(ParseLogLine, LinesThatAreNoEntryGiveNothing) {
  const std::string good = FormatLogLine(FullEntry());
  const auto with = [&](const std::string& from, const std::string& to) {
    std::string line = good;
    const std::size_t at = line.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? line : line.replace(at, from.size(), to);
  };
  ASSERT_TRUE(ParseLogLine(good));
  const struct {
    const char* name;
    std::string line;
  } cases[] = {
      {"empty", ""},
      {"not json", "keyin-scorer ran"},
      {"array", "[1,2]"},
      {"empty object", "{}"},
      {"torn", good.substr(0, good.size() / 2)},
      {"two objects", good + good},
      {"empty id", with("20240305T090702-0a1b2c3d", "")},
      {"id a number", with(R"("20240305T090702-0a1b2c3d")", "7")},
      {"time of no day", with("2024/03/05", "2024/02/30")},
      {"time not a date", with("2024/03/05 09:07:02", "yesterday")},
      {"exit a text", with(R"("exit":0)", R"("exit":"0")")},
      {"exit a fraction", with(R"("exit":0)", R"("exit":0.5)")},
      {"exit beyond any status", with(R"("exit":0)", R"("exit":1e300)")},
      {"speed a text", with(R"("speed":36.0)", R"("speed":"36")")},
      {"paper without sha256", with(R"(,"sha256":")" + std::string(64, 'a') + "\"", "")},
      {"paper a text", with(R"({"path":"/keyin/lib/P001.LIB")", R"("x","y":{"path":"")")},
      {"report a number", with(R"("/keyin/scores/CTEST-1.SCR")", "1")},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLogLine(c.line), std::nullopt) << c.name;
}

TEST(ParseLog, KeepsTheEntriesInOrderAndLeavesOutTheRest) {
  RunLogEntry first = FullEntry(), second = FullEntry(), torn = FullEntry();
  second.id = "20240305T090702-00000002";
  torn.id = "20240305T090702-00000003";
  const std::string text = FormatLogLine(first) + "\n" + "\n" + "not json\n" +
                           R"({"id":"x","program":1})" + "\n" + FormatLogLine(second) + "\n" +
                           FormatLogLine(torn);
  EXPECT_EQ(ParseLog(text), (std::vector<RunLogEntry>{first, second}));
  EXPECT_EQ(ParseLog(""), std::vector<RunLogEntry>{});
  // The last line is whole once it has its end.
  EXPECT_EQ(ParseLog(text + "\n").size(), 3u);
}

}  // namespace
}  // namespace keyin
