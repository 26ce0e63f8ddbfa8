#include "support/text.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

// Lines of full-width blanks are text; empty lines count.
TEST(TextHelpers, TrimHalfWidthBlanksOnlyAndSplitIntoEveryPiece) {
  EXPECT_EQ(TrimBlanks(u"  甲 乙  "), u"甲 乙");
  EXPECT_EQ(TrimBlanks(u"\u3000甲\t "), u"\u3000甲\t");
  EXPECT_EQ(TrimBlanks(u"    "), u"");
  EXPECT_EQ(TrimTrailingBlanks(u"  甲\u3000 "), u"  甲\u3000");
  using Pieces = std::vector<std::u16string>;
  EXPECT_EQ(SplitText(u"甲乙\r\n\r\n丙丁\r\n", u"\r\n"), (Pieces{u"甲乙", u"", u"丙丁", u""}));
  EXPECT_EQ(SplitText(u"", u","), (Pieces{u""}));
  EXPECT_EQ(SplitText(u"a\rb\nc", u"\r\n"), (Pieces{u"a\rb\nc"}));
}

}  // namespace
}  // namespace keyin
