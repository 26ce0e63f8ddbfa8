#include "records/cscr_file.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace keyin {
namespace {

TEST(CscrFile, TwoDigitNumbersOfSessionAndSeat) {
  const struct {
    const char16_t* text;
    const char16_t* expected;
  } cases[] = {
      {u"7", u"07"},   {u"12", u"12"},  {u"123", u"123"}, {u"", u"00"},
      {u"A1", u"00"},  {u"05", u"05"},  {u" 3 ", u"03"},  {u"2.5", u"03"},
      {u"9.4", u"09"}, {u"-3", u"-03"}, {u"7B", u"07"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TwoDigitNumber(c.text), c.expected) << Utf16ToUtf8(c.text);
  }
  EXPECT_THROW(TwoDigitNumber(u"1e999"), RunFailure);
}

TEST(CscrFile, NameJoinsSessionAndSeat) {
  EXPECT_EQ(CscrFileName(u"3", u"15"), u"CSCR0315");
  EXPECT_EQ(CscrFileName(u"2", u"7"), u"CSCR0207");
  EXPECT_EQ(CscrFileName(u"2", u"A1"), u"CSCR0200");
}

TEST(CscrFile, FourLinesWithBothPartsAndTheReview) {
  const ResultValues results{.Test1Score = 42,
                             .Test1Err = 5,
                             .Test2Score = 48.5,
                             .Test2Err = 3,
                             .ReviewScore = 48.5,
                             .ReviewErr = 3};
  const std::vector<std::u16string> expected = {
      u"0315 2024/03/05 09:07:02",
      u"測驗一\u3000 = 42 字/分鐘, 錯誤率 = 5％",
      u"測驗二\u3000 = 48.5 字/分鐘, 錯誤率 = 3％",
      u"覆核成績 = 48.5 字/分鐘, 錯誤率 = 3％",
  };
  EXPECT_EQ(CscrLines(u"3", u"15", results, DateTime{2024, 3, 5, 9, 7, 2}), expected);
}

}  // namespace
}  // namespace keyin
