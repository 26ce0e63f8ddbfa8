#include "server/typing_rules.h"

#include <gtest/gtest.h>

#include "server/http_api.h"
#include "server/results.h"
#include "support/text.h"

namespace keyin::server {
namespace {

TEST(CountTypedCharacters, CountsCharactersNotBytesNorLineEnds) {
  EXPECT_EQ(CountTypedCharacters("晉太元中，\r\nab\n𠀀"), 8);
  EXPECT_EQ(CountTypedCharacters(""), 0);
}

TEST(AnswerLines, SplitsAtEitherLineEndAndAddsNoLineForTheLastEnd) {
  EXPECT_EQ(AnswerLines("甲\r\n乙\n\n丙"), (std::vector<std::string>{"甲", "乙", "", "丙"}));
  EXPECT_EQ(AnswerLines("甲\n"), (std::vector<std::string>{"甲"}));
  EXPECT_TRUE(AnswerLines("").empty());
}

TEST(GrowsTooFast, FlagsOnlySustainedGrowthBeyondTenASecond) {
  struct Case {
    const char* behaviour;
    std::int64_t previous_chars, previous_ms, chars, now_ms;
    bool expected;
  };
  const Case cases[] = {
      {"a fast typist: 40 characters in 5 seconds", 100, 0, 140, 5000, false},
      {"one long phrase committed at once", 100, 0, 112, 100, false},
      {"a pasted paragraph", 0, 0, 300, 5000, true},
      {"just over ten a second for a minute", 0, 0, 610, 60000, true},
      {"exactly ten a second", 0, 0, 600, 60000, false},
      {"text deleted", 300, 0, 0, 1000, false},
      {"two saves in the same millisecond", 0, 5000, 60, 5000, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GrowsTooFast(c.previous_chars, c.previous_ms, c.chars, c.now_ms), c.expected)
        << c.behaviour;
  }
}

TEST(UseTimeSeconds, CountsToTheSubmissionButNeverPastTheDeadline) {
  EXPECT_EQ(UseTimeSeconds(1000, 601000, 301400), 300);
  EXPECT_EQ(UseTimeSeconds(1000, 601000, 301600), 301);
  EXPECT_EQ(UseTimeSeconds(1000, 601000, 603000), 600);  // submitted in the grace after the end
  EXPECT_EQ(UseTimeSeconds(1000, 601000, 1100), 1);      // never 0: the speed divides by it
}

TEST(ArgumentString, JoinsTheSixteenRunParametersAsAFrontEndDoes) {
  Sitting sitting;
  sitting.ExamPlaceNo = "A01";
  sitting.ExamNo = "E01";
  sitting.ExamPaperNo = "P001";
  sitting.TestType = "5";
  sitting.SessionNo = "3";
  sitting.TotTime = "600";
  sitting.SubtractScore = "0";
  sitting.LibPath = "C:\\lib\\";
  sitting.ScrPath = "C:\\scores\\";
  const Candidate candidate{"S123456789", "王小明", "甲班", "15"};
  EXPECT_EQ(SeatScrPath(sitting, candidate), "C:\\scores\\3-15\\");
  EXPECT_EQ(ArgumentString(sitting, candidate, 2, 660, 301, SeatScrPath(sitting, candidate)),
            "A01,E01,P001,,5,S123456789,王小明,3,15,2,660,301,0,C:\\lib\\,C:\\scores\\3-15\\,甲班");
}

TEST(ResultsCsv, StartsWithAByteOrderMarkAndQuotesWhatNeedsIt) {
  StoredResults results{
      "Keyin", {"UserID", "ErWords"}, {{"S1", "a,b"}, {"S2", "say \"x\"\r\n"}}, {"1", "2"}};
  EXPECT_EQ(ResultsCsv(results),
            "\xEF\xBB\xBFUserID,ErWords\r\nS1,\"a,b\"\r\nS2,\"say \"\"x\"\"\r\n\"\r\n");
}

TEST(ConstantTimeEquals, ComparesWholeTexts) {
  EXPECT_TRUE(ConstantTimeEquals("secret", "secret"));
  EXPECT_FALSE(ConstantTimeEquals("secret", "secreT"));
  EXPECT_FALSE(ConstantTimeEquals("secret", "secret2"));
  EXPECT_FALSE(ConstantTimeEquals("", "x"));
}

TEST(CookieValue, FindsOneCookieAmongMany) {
  EXPECT_EQ(CookieValue("a=1; keyin_seat=abc; b=2", "keyin_seat"), "abc");
  EXPECT_EQ(CookieValue("xkeyin_seat=abc", "keyin_seat"), std::nullopt);
  EXPECT_EQ(CookieValue("", "keyin_seat"), std::nullopt);
}

}  // namespace
}  // namespace keyin::server
