#include "run/run_kind.h"

#include <gtest/gtest.h>

#include <utility>

#include "run/run_end.h"

namespace keyin {
namespace {

RunParams OfType(std::u16string TestType) {
  RunParams params;
  params.TestType = std::move(TestType);
  return params;
}

// TestType is read as a number, strictly: blanks around it are allowed, nothing else is.
TEST(KindOfRun, ReadsTestTypeAsANumber) {
  const struct {
    const char* reading;
    std::u16string TestType;
    RunKind kind;
  } cases[] = {
      {"0 is the custom-text practice", u"0", RunKind::kCustomTextPractice},
      {"so is 00", u"00", RunKind::kCustomTextPractice},
      {"1 is the single article practice", u"1", RunKind::kSingleArticlePractice},
      {"2 is the double one", u"2", RunKind::kDoubleArticlePractice},
      {"3 with blanks is the mock test", u" 3 ", RunKind::kMockTest},
      {"4.0 is the offline exam", u"4.0", RunKind::kOfflineExam},
      {"05 is an exam", u"05", RunKind::kExam},
      {"so is 5.0", u"5.0", RunKind::kExam},
      {"7 is the keyin record test", u"7", RunKind::kKeyinRecordTest},
      {"6 is no kind of its own", u"6", RunKind::kOther},
      {"nor is 2.5", u"2.5", RunKind::kOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KindOfRun(OfType(c.TestType)), c.kind) << c.reading;
    EXPECT_EQ(KindOfRunIfNumber(OfType(c.TestType)), c.kind) << c.reading;
  }
  for (const std::u16string no_number : {u"", u"x", u"3a", u"0x3"}) {
    EXPECT_THROW(KindOfRun(OfType(no_number)), RunFailure);
    EXPECT_EQ(KindOfRunIfNumber(OfType(no_number)), std::nullopt);
  }
}

// Only a kind that reads as 0 scores the custom text. At start-up a TestType that is no number
// reads no custom text and fails later, in Cmd_Scr's handler; inside it the same text fails.
TEST(ScoresCustomText, OnlyKindZeroAndNoNumberFailsOnlyWhereAsked) {
  for (const std::u16string zero : {u"0", u"00", u" 0", u"0.0"}) {
    EXPECT_TRUE(ScoresCustomText(OfType(zero)));
    EXPECT_TRUE(ScoresCustomTextIfNumber(OfType(zero)));
  }
  for (const std::u16string paper : {u"1", u"3", u"5", u"7", u"6"}) {
    EXPECT_FALSE(ScoresCustomText(OfType(paper)));
    EXPECT_FALSE(ScoresCustomTextIfNumber(OfType(paper)));
  }
  EXPECT_FALSE(ScoresCustomTextIfNumber(OfType(u"x")));
  EXPECT_THROW(ScoresCustomText(OfType(u"x")), RunFailure);
}

}  // namespace
}  // namespace keyin
