// Reading a run's inputs writes nothing, and scoring what was read gives what the scoring run
// writes.
#include "scoring/read_inputs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/file_system.h"
#include "platform/text_stream.h"
#include "scoring/reports.h"
#include "scoring/score_answer.h"
#include "support/decoding.h"
#include "support/library.h"

namespace keyin {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::u16string>;

class ReadInputsTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root_ / "lib");
    fs::create_directories(root_ / "scores");
    // Test 1 is 甲乙 and XZY, test 2 is 丙丁; the Z becomes a CR in the record's bytes, as
    // a paper written by another tool may hold.
    std::string paper = EncodeLibFile({u"甲乙", u"XZY"}, {u"丙丁"});
    paper[2 * 64 + 1] = '\r';  // CVL leaves a CR as it is
    WriteWholeFile((root_ / "lib/P001.LIB").string(), paper);
    TextWriter answer((root_ / "scores/CTEST-2").string());
    for (const char16_t* line : {u"丙丁", u"    甲乙 ", u"X"}) answer.WriteLine(line);
    answer.Close();
    params_.TestType = u"1";
    params_.TestPart = u"2";
    params_.UseTime = u"60";
    params_.LibPath = (root_ / "lib").u16string() + u"/";
    params_.ScrPath = (root_ / "scores").u16string() + u"/";
    params_.ExamPaperNo = u"P001";
  }
  void TearDown() override { fs::remove_all(root_); }

  std::set<fs::path> Files() const {
    std::set<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root_)) files.insert(entry.path());
    return files;
  }
  Lines ReadLines(const char* name) const {
    TextReader reader((root_ / "scores" / name).string());
    Lines lines;
    while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
    return lines;
  }

  const fs::path root_ = fs::temp_directory_path() / ("keyin-read-" + std::to_string(::getpid()));
  const PathTranslator paths_{root_.string()};
  RunParams params_;
  RecordingMessageSink messages_;
};

// Part 2 reads the second test first; the CR splits its line as libtemp would.
TEST_F(ReadInputsTest, ReadsThePaperAsLibtempGivesItBackAndWritesNothing) {
  const std::set<fs::path> before = Files();
  const ScoringInputs inputs = ReadScoringInputs(params_, paths_, messages_);
  EXPECT_EQ(inputs.reference, (Lines{u"", u"丙丁", u"甲乙", u"X", u"Y"}));
  EXPECT_EQ(inputs.typed, (Lines{u"", u"丙丁", u"\u3000\u3000甲乙"}));
  EXPECT_EQ(Files(), before);
}

TEST_F(ReadInputsTest, ReadsTheCustomTextForAKindThatIsZero) {
  std::string custom_text;
  for (const char16_t* line : {u"天地玄黃", u"宇宙洪荒"}) {
    custom_text += CV2BExact(EncryptLine(line), "test line") + "\r\n";
  }
  WriteWholeFile((root_ / "lib/P001.cus").string(), custom_text);
  params_.TestType = u"00";
  EXPECT_EQ(ReadScoringInputs(params_, paths_, messages_).reference,
            (Lines{u"", u"天地玄黃", u"宇宙洪荒"}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ReadInputsTest, ScoringWhatWasReadGivesWhatTheRunWrites) {
  const ScoredPart part = ScorePart(ReadScoringInputs(params_, paths_, messages_), params_);
  const ScoringOutcome outcome = ScoreAnswer(params_, paths_, u"", messages_, DateTime{});
  EXPECT_EQ(outcome.scores.CharsPerMinute, part.scores.CharsPerMinute);
  Lines listing;
  for (const ScoredLine& line : part.matched.lines) {
    const Lines block = ListingBlock(line);
    listing.insert(listing.end(), block.begin(), block.end());
  }
  const Lines summary = ListingSummary(u"CTEST-2", part.scores, params_.SubtractScore);
  listing.insert(listing.end(), summary.begin(), summary.end());
  EXPECT_EQ(ReadLines("CTEST-2.SCR"), listing);
  EXPECT_EQ(ReadLines("CTEST-2.TOT"), ScoreSummary(u"CTEST-2", part.scores));
  EXPECT_TRUE(fs::exists(root_ / "lib/libtemp"));  // the run writes it for whoever reads it
}

}  // namespace
}  // namespace keyin
