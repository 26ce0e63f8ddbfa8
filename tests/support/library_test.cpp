#include "support/library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/decoding.h"

namespace keyin {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

// The lines of the records first .. end - 1, one letter each.
std::vector<std::u16string> Lines(int first, int end) {
  std::vector<std::u16string> lines;
  for (int r = first; r < end; ++r) lines.push_back({u'第', static_cast<char16_t>(u'A' + r)});
  return lines;
}

class LibraryTest : public testing::Test {
 protected:
  void SetUp() override { fs::create_directories(folder_); }
  void TearDown() override { fs::remove_all(folder_); }
  const std::string& Write(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
    return path_;
  }
  const fs::path folder_ =
      fs::temp_directory_path() / ("keyin-library-" + std::to_string(getpid()));
  const std::string path_ = (folder_ / "PAPER.LIB").string();
};

TEST_F(LibraryTest, GetLibReadsThePartsRange) {
  Write(EncodeLibFile(Lines(2, 12), Lines(12, 22)));  // First 2, Second 12, End 22
  const std::pair<std::u16string, std::vector<std::u16string>> cases[] = {
      {u"1", Lines(2, 12)}, {u"2", Lines(12, 22)}, {u"3", Lines(2, 22)}};
  for (const auto& [part, lines] : cases) {
    GetLibState state{u"old", u"old"};
    RecordingMessageSink messages;
    Get_Lib(path_, part, state, messages);
    std::u16string text;
    for (const auto& line : lines) text += line + u"\r\n";
    EXPECT_EQ(std::tuple(state.LibText, state.CustomText, messages.shown.size()),
              std::tuple(text, text, 0u));
  }
  // An empty part clears LibText only.
  GetLibState state{u"old", u"keep"};
  RecordingMessageSink messages;
  Get_Lib(Write(EncodeLibFile({}, {u"乙"})), u"1", state, messages);  // Second == First
  EXPECT_EQ(std::tuple(state.LibText, state.CustomText, messages.shown.size()),
            std::tuple(u"", u"keep", 0u));
}

TEST_F(LibraryTest, MissingOrShortFileFailsAndKeepsTheState) {
  GetLibState state{u"lib", u"custom"};
  RecordingMessageSink messages;
  Get_Lib(path_, u"C:\\LIB\\NONE.LIB", u"1", state, messages);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].text, u"C:\\LIB\\NONE.LIB 試卷檔不存在");
  EXPECT_EQ(messages.shown[1].text, messages.shown[0].text);
  EXPECT_FALSE(fs::exists(path_));

  Get_Lib(Write("\x02\x00\x03"), u"1", state, messages);
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_NE(messages.shown[2].text.find(u"shorter than its 6-byte header"), std::u16string::npos);
  EXPECT_EQ(std::tuple(state.LibText, state.CustomText), std::tuple(u"lib", u"custom"));
  // An empty paper would score everyone 0: refused, also when opening created it.
  EXPECT_THROW(ReadLibForScoring(RecordFile(Write("")), u"2"), LibFormatError);
  EXPECT_THROW(ReadLibForScoring(RecordFile((folder_ / "NEW.LIB").string()), u"1"), LibFormatError);
}

// The general reader, as Get_Lib uses it, reads whatever records of a range exist.
TEST_F(LibraryTest, HostileRangesReadOnlyExistingRecords) {
  const std::string bytes = EncodeLibFile(Lines(2, 5), {});  // the header and records 2..4
  // The range; whether the header record is read, then 2 .. end - 1.
  const std::tuple<const char*, LibRecordRange, bool, int> cases[] = {
      {"records below 1 are skipped, record 1 is read", {-5, 3}, true, 3},
      {"an empty range reads nothing", {0, 0}, false, 2},
      {"an end past the file stops at the file's end", {2, 32767}, false, 5},
      {"a range that ends before it starts reads nothing", {32767, -32768}, false, 2}};
  const RecordFile file(Write(bytes));
  for (const auto& [rule, range, with_header, end] : cases) {
    std::vector<std::u16string> expected = Lines(2, end);
    if (with_header) expected.insert(expected.begin(), DecodeLibRecord(bytes.substr(0, 32)));
    EXPECT_EQ(ReadLibRecords(file, range), expected) << rule;
  }
}

// Scored against nothing or against lines that are not the paper's, every candidate would get a
// wrong grade: the scoring run takes only a paper whose header it can trust.
TEST(CheckLibForScoring, RefusesAPaperItCannotScore) {
  constexpr std::uint64_t kWhole = 21 * 64;  // the header and records 2..21
  const struct {
    const char* rule;
    LibHeader header;
    std::uint64_t size;
    std::u16string TestPart;
    bool refused;
  } cases[] = {
      {"a whole paper is taken for either part", {2, 12, 22}, kWhole, u"1", false},
      {"the last record needs only its text", {2, 12, 22}, kWhole - 32, u"2", false},
      {"a last record cut inside its text is refused", {2, 12, 22}, kWhole - 33, u"1", true},
      {"part 1 needs part 2 inside the file too", {2, 12, 22}, 12 * 64, u"1", true},
      {"a header alone", {2, 12, 22}, 6, u"1", true},
      {"an all-zero header", {0, 0, 0}, kWhole, u"1", true},
      {"the first line cannot be the header", {1, 12, 22}, kWhole, u"1", true},
      {"numbers out of order", {20, 10, 2}, kWhole, u"2", true},
      {"negative numbers", {-5, -1, -32768}, kWhole, u"1", true},
      {"part 2 far past the end", {2, 30000, 32767}, kWhole, u"2", true},
      {"the part asked for is empty", {2, 2, 22}, kWhole, u"1", true},
      {"the other part may be empty", {2, 2, 22}, kWhole, u"2", false},
      {"any other part needs some line", {2, 2, 2}, kWhole, u"3", true},
  };
  for (const auto& c : cases) {
    if (c.refused) {
      EXPECT_THROW(CheckLibForScoring(c.header, c.size, c.TestPart), LibFormatError) << c.rule;
    } else {
      EXPECT_NO_THROW(CheckLibForScoring(c.header, c.size, c.TestPart)) << c.rule;
    }
  }
}

// Over-long lines and characters outside code page 950 are refused by the paper tool's tests.
TEST(EncodeLibFile, WritesTheRecordLayoutOrNamesTheLineThatCannotBeWritten) {
  const std::string bytes = EncodeLibFile({u"0Aa"}, {u"中"});
  ASSERT_EQ(bytes.size(), 3u * 64);
  EXPECT_EQ(bytes.substr(0, 6), std::string("\x02\x00\x03\x00\x04\x00", 6));
  EXPECT_EQ(bytes.substr(64, 64), "8Oo" + std::string(61, ' '));
  EXPECT_THAT(
      [] {
        EncodeLibFile({u"甲"}, {u"乙", u"丙", u"兩行\r\n"});
      },
      testing::ThrowsMessage<std::invalid_argument>(
          testing::AllOf(HasSubstr("part 2, line 3"), HasSubstr("line break"))));
  EXPECT_THROW(EncodeLibFile(std::vector<std::u16string>(32766), {}), std::invalid_argument);
}

}  // namespace
}  // namespace keyin
