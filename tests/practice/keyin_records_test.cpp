#include "practice/keyin_records.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace keyin {
namespace {

class KeyinRecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "keyin-records.XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path() const { return (folder_ / "Ctest-1.any").string(); }
  std::filesystem::path folder_;
};

// What the exam room appends is what the statistics read back, line after line.
TEST_F(KeyinRecordFile, AppendedEntriesReadBackInOrder) {
  const std::vector<KeyinEntry> first = {{u"晉太元中", u"倉頡"}, {u"武陵人", u"倉頡"}};
  const std::vector<KeyinEntry> second = {{u"緣溪行", u"注音"}};
  AppendKeyinRecord(Path(), u"S123456789", first);
  AppendKeyinRecord(Path(), u"S223456789", second);
  RecordingMessageSink messages;
  std::vector<KeyinEntry> expected = first;
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(ReadKeyinRecordFile(Path(), messages), expected);
  EXPECT_TRUE(messages.shown.empty());
}

TEST(KeyinRecordLine, WritesHeadThenEveryEntryEndedByBar) {
  EXPECT_EQ(KeyinRecordLine(u"3", {{u"中文", u"倉頡"}, {u"法", u"注音"}}), u"3=中文,倉頡|法,注音|");
  EXPECT_EQ(KeyinRecordLine(u"3", {}), u"3=");
}

TEST(KeyinRecordLine, RefusesWhatWouldReadBackDifferently) {
  EXPECT_THROW(KeyinRecordLine(u"a=b", {}), std::invalid_argument);
  EXPECT_THROW(KeyinRecordLine(u"3", {{u"a,b", u"倉頡"}}), std::invalid_argument);
  EXPECT_THROW(KeyinRecordLine(u"3", {{u"ab", u"倉|頡"}}), std::invalid_argument);
}

TEST(KeyinEntryText, KeepsTextThatFitsAnEntryAndReplacesTheRest) {
  struct Case {
    const char* behaviour;
    std::u16string typed, expected;
  };
  const Case cases[] = {
      {"Chinese text and full-width punctuation stay", u"漁人甚異之。", u"漁人甚異之。"},
      {"separators become full-width", u"a,b|c", u"a，b｜c"},
      {"a character outside code page 950 becomes a question mark", u"a\U0001F600b", u"a？b"},
      {"simplified-only characters become a question mark", u"这", u"？"},
  };
  for (const Case& c : cases) EXPECT_EQ(KeyinEntryText(c.typed), c.expected) << c.behaviour;
}

}  // namespace
}  // namespace keyin
