// A run that cannot score or store what it was given says so and fails: it never exits 0 with
// a wrong grade or with nothing stored.
#include <gtest/gtest.h>

#include <utility>

#include "db_helpers.h"
#include "harness.h"
#include "platform/code_page.h"
#include "platform/text_stream.h"

namespace keyin::e2e {
namespace {

namespace fs = std::filesystem;

class HonestEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_.InstallSamplePaper();
    WriteTypedAnswer(folder_.Scores() / "CTEST-1", Sample("typed-test1.txt"));
    WriteTypedAnswer(folder_.Scores() / "CTEST-2", Sample("typed-test2.txt"));
  }
  std::string MockRows() const {
    return Dump(*OpenKeyin(folder_), "SELECT count(*) FROM TestScore_Student");
  }
  ProgramFolder folder_;
  RunArgs args_ = DefaultArgs(folder_);
};

std::string Int16Bytes(int a, int b, int c) {
  std::string bytes;
  for (const int value : {a, b, c}) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>((value >> 8) & 0xFF);
  }
  return bytes;
}

// A paper whose header cannot be trusted is refused like a missing one: Cmd_Scr's message, exit
// status 1, no report and no row. Scored, it would grade everyone against nothing or against
// lines that are not the test's.
TEST_F(HonestEnd, DamagedPaperIsRefusedBeforeAnythingIsWritten) {
  const std::string paper = ReadBytes(folder_.Lib() / "P001.LIB");
  const std::string records = paper.substr(6);
  std::string garbage;
  for (unsigned state = 12345; garbage.size() < paper.size();) {
    state = state * 1103515245 + 12345;
    garbage += static_cast<char>(state >> 16);
  }
  struct Case {
    const char* name;
    std::string bytes;
    const char* TestPart;
  };
  const Case cases[] = {
      {"empty", "", "1"},
      {"shorter than its header", std::string("\x02\x00\x05", 3), "1"},
      {"header only", paper.substr(0, 6), "1"},
      {"all-zero header", Int16Bytes(0, 0, 0) + records, "1"},
      {"header out of order", Int16Bytes(20, 10, 2) + records, "1"},
      {"negative header", Int16Bytes(-5, -1, -32768) + records, "1"},
      {"second part past the end of the file", Int16Bytes(2, 30000, 32767) + records, "2"},
      {"cut short inside the paper", paper.substr(0, 64 * 4 + 20), "1"},
      {"empty part asked for", Int16Bytes(2, 2, 10) + records, "1"},
      {"garbage", garbage, "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(folder_.Lib() / "P001.LIB", c.bytes);
    args_.TestPart = c.TestPart;
    ProcessResult result = folder_.Scorer(args_.Join());
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_TRUE(Contains(result.err, "Cmd_Scr 模組發生錯誤，因為：") &&
                Contains(result.err, "paper"))
        << result.err;
    EXPECT_FALSE(fs::exists(folder_.Scores() / (std::string("CTEST-") + c.TestPart + ".SCR")));
    EXPECT_EQ(MockRows(), "0");
  }
}

// A typed answer saved as UTF-8 or UTF-16BE is read by its byte-order mark: it scores what the
// same answer in UTF-16LE scores, where it used to score 0 as garbage. Without a mark the answer
// is UTF-16LE, as always; a mark alone is an empty answer, too small.
TEST_F(HonestEnd, AnswerIsReadInTheEncodingOfItsByteOrderMark) {
  std::string text;
  for (const std::string& line : Sample("typed-test1.txt")) text += line + "\r\n";
  const std::string utf16le = Utf16LeBytes(Utf8ToUtf16(text));
  std::string utf16be = utf16le;
  for (std::size_t i = 0; i + 1 < utf16be.size(); i += 2) std::swap(utf16be[i], utf16be[i + 1]);
  args_.TestType = "1";
  ASSERT_EQ(folder_.Scorer(args_.Join()).exit_status, 0);
  const std::string expected = ReadReport(folder_.Scores() / "CTEST-1.TOT");
  ASSERT_EQ(expected, "CTEST-1 S=36 E=3/181=1%\r\n36\r\n1\r\n");
  const std::pair<const char*, std::string> answers[] = {
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + text},
      {"UTF-16BE with its mark", "\xFE\xFF" + utf16be},
      {"UTF-16LE without a mark", utf16le},
  };
  for (const auto& [name, bytes] : answers) {
    WriteBytes(folder_.Scores() / "CTEST-1", bytes);
    ProcessResult result = folder_.Scorer(args_.Join());
    ASSERT_EQ(result.exit_status, 0) << name << ": " << result.err;
    EXPECT_EQ(ReadReport(folder_.Scores() / "CTEST-1.TOT"), expected) << name;
  }
  WriteBytes(folder_.Scores() / "CTEST-1", "\xEF\xBB\xBF");
  ASSERT_EQ(folder_.Scorer(args_.Join()).exit_status, 0);
  EXPECT_TRUE(Contains(ReadReport(folder_.Scores() / "CTEST-1.SCR"), "02 ＜檔案太小＞"));
}

// Any TestPart but "1" and "2" names no typed answer: the run says so instead of failing on the
// score folder's name.
TEST_F(HonestEnd, TestPartOtherThanOneOrTwoSaysSo) {
  for (const char* part : {"3", "", "01", "1 "}) {
    args_.TestPart = part;
    ProcessResult result = folder_.Scorer(args_.Join());
    EXPECT_EQ(result.exit_status, 1) << part;
    EXPECT_TRUE(Contains(
        result.err, "keyin-scorer: TestPart must be 1 or 2, not \"" + std::string(part) + "\""))
        << result.err;
  }
  EXPECT_EQ(MockRows(), "0");
}

}  // namespace
}  // namespace keyin::e2e
