#include "report/text_table.h"

#include <gtest/gtest.h>

#include "platform/text_width.h"

namespace keyin::text_table {
namespace {

TEST(Render, AlignsChineseByDisplayWidthAndNumbersRight) {
  const std::u16string table =
      Render({{u"姓名"}, {u"ID"}, {u"速度", true}},
             {{u"王小明", u"S1", u"42"}, {u"Amy", u"S22", u"7"}}, DisplayWidth);
  EXPECT_EQ(table,
            u"姓名    ID   速度\n"
            u"------  ---  ----\n"
            u"王小明  S1     42\n"
            u"Amy     S22     7\n");
}

TEST(Render, ShowsEveryCellOnOneLineWithoutControlCharacters) {
  const std::u16string table =
      Render({{u"姓名"}, {u"備註"}}, {{u"王\r\n小明", u"\x1b[2J"}, {u"李"}}, DisplayWidth);
  EXPECT_EQ(table,
            u"姓名      備註\n"
            u"--------  ----\n"
            u"王  小明  \uFFFD[2J\n"
            u"李\n");
}

}  // namespace
}  // namespace keyin::text_table
