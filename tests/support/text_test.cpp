#include "support/text.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(TrimBlanks, RemovesHalfWidthBlanksOnly) {
  EXPECT_EQ(TrimBlanks(u"  甲 乙  "), u"甲 乙");
  EXPECT_EQ(TrimBlanks(u"\u3000甲\u3000 "), u"\u3000甲\u3000");
  EXPECT_EQ(TrimBlanks(u"\t甲\r\n"), u"\t甲\r\n");
  EXPECT_EQ(TrimBlanks(u"    "), u"");
  EXPECT_EQ(TrimBlanks(u""), u"");
}

TEST(TrimTrailingBlanks, KeepsLeadingBlanks) {
  EXPECT_EQ(TrimTrailingBlanks(u"  甲  "), u"  甲");
  EXPECT_EQ(TrimTrailingBlanks(u"甲\u3000"), u"甲\u3000");
  EXPECT_EQ(TrimTrailingBlanks(u"   "), u"");
}

TEST(SplitText, EveryPieceCounts) {
  using Pieces = std::vector<std::u16string>;
  EXPECT_EQ(SplitText(u"甲乙\r\n\r\n丙丁\r\n", u"\r\n"), (Pieces{u"甲乙", u"", u"丙丁", u""}));
  EXPECT_EQ(SplitText(u"a,b,,c", u","), (Pieces{u"a", u"b", u"", u"c"}));
  EXPECT_EQ(SplitText(u"abc", u","), (Pieces{u"abc"}));
  EXPECT_EQ(SplitText(u"", u","), (Pieces{u""}));
  EXPECT_EQ(SplitText(u"a\rb\nc", u"\r\n"), (Pieces{u"a\rb\nc"}));
  EXPECT_EQ(SplitText(u"abc", u""), (Pieces{u"abc"}));
}

}  // namespace
}  // namespace keyin
