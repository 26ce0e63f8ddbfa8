#include "practice/practice_record.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/code_page.h"

namespace keyin {
namespace {

struct TimeCase {
  const char16_t* seconds;
  const char16_t* expected;
};

TEST(PracticeRecord, ElapsedTimeIsWholeMinutesAndTheSecondsBeyond) {
  const TimeCase cases[] = {
      {u"125", u"2分5秒"},   {u"59", u"0分59秒"}, {u"120", u"2分0秒"},
      {u"0", u"0分0秒"},     {u"61", u"1分1秒"},  {u"90.5", u"1分30秒"},  // halves round to even
      {u"91.5", u"1分32秒"},
  };
  for (const TimeCase& c : cases) {
    EXPECT_EQ(ElapsedTimeText(c.seconds), c.expected) << Utf16ToUtf8(c.seconds);
  }
}

TEST(PracticeRecord, AllowedTimeIsTheQuotientWithZeroSeconds) {
  const TimeCase cases[] = {
      {u"600", u"10分00秒"},
      {u"90", u"1.5分00秒"},
      {u"100", u"1.66666666666667分00秒"},
  };
  for (const TimeCase& c : cases) {
    EXPECT_EQ(AllowedTimeText(c.seconds), c.expected) << Utf16ToUtf8(c.seconds);
  }
}

TEST(PracticeRecord, TimesThatAreNoNumbersFail) {
  EXPECT_THROW(ElapsedTimeText(u"5分"), RunFailure);
  EXPECT_THROW(AllowedTimeText(u""), RunFailure);
}

TEST(PracticeRecord, TopicByKindOfRun) {
  EXPECT_EQ(TopicOf(u"0"), u"自建題庫練習");
  EXPECT_EQ(TopicOf(u"1"), u"文章練習（單）");
  EXPECT_EQ(TopicOf(u"2"), u"文章練習（雙）");
  EXPECT_EQ(TopicOf(u"3"), u"模擬測驗");
  EXPECT_EQ(TopicOf(u"7"), std::nullopt);
  EXPECT_THROW(TopicOf(u"x"), RunFailure);
}

TEST(PracticeRecord, SeatsAreComparedByTheirNumbers) {
  EXPECT_TRUE(SameSeat(std::u16string(u"05"), u"5"));
  EXPECT_TRUE(SameSeat(std::u16string(u"5"), u"05"));
  EXPECT_TRUE(SameSeat(5.0, u"005"));
  EXPECT_FALSE(SameSeat(std::u16string(u"15"), u"5"));
  EXPECT_FALSE(SameSeat(DbValue(), u"0"));
}

TEST(PracticeRecord, RowCountsRightCharactersAndLeavesOutAMissingTopic) {
  RunParams params;
  params.TestType = u"7";
  params.TotTime = u"600";
  params.UseTime = u"125";
  const PracticeInputs inputs{.TotalChars = 300,
                              .ErrorCount = 12,
                              .ErrorRate = std::nullopt,
                              .Speed = std::nullopt,
                              .ErrorWords = u""};
  std::map<std::string, DbValue> row;
  for (TempScoreColumn& column : TempScoreRow(params, inputs, DateTime{}, u"")) {
    row[column.name] = std::move(column.value);
  }
  EXPECT_EQ(row.count("Topic"), 0u);
  EXPECT_EQ(row["TotalChr"], DbValue(300.0));
  EXPECT_EQ(row["RightChr"], DbValue(288.0));
  EXPECT_EQ(row["ErrChr"], DbValue(12.0));
  EXPECT_EQ(row["ErrPercen"], DbValue(0.0));  // no value stores 0
  EXPECT_EQ(row["Average"], DbValue(0.0));
  EXPECT_EQ(row["UseTime"], DbValue(std::u16string(u"2分5秒")));
}

}  // namespace
}  // namespace keyin
