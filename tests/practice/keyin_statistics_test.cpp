#include "practice/keyin_statistics.h"

#include <gtest/gtest.h>

#include "practice/keyin_records.h"

namespace keyin {
namespace {

std::vector<KeyinEntry> Entries(std::initializer_list<KeyinEntry> entries) { return entries; }

TEST(ParseEntries, CutsAtBarsAndCommas) {
  struct Case {
    std::u16string line;
    std::vector<KeyinEntry> entries;
  };
  const Case cases[] = {
      {u"3=中文,倉頡|輸入,倉頡|法,注音|",
       Entries({{u"中文", u"倉頡"}, {u"輸入", u"倉頡"}, {u"法", u"注音"}})},
      // The piece after the last "|" is not an entry, even a well-formed one.
      {u"3=中文,倉頡|輸入,倉頡|法,注音", Entries({{u"中文", u"倉頡"}, {u"輸入", u"倉頡"}})},
      // No head: the whole line is entries. Only the first "=" ends the head.
      {u"天,大易|", Entries({{u"天", u"大易"}})},
      {u"a=b=,大易|", Entries({{u"b=", u"大易"}})},
      // Parts after a second "," are ignored; an empty method is a method no list names.
      {u"天,大易,x,y|地,|", Entries({{u"天", u"大易"}, {u"地", u""}})},
      {u"3=", {}},
      {u"", {}},
      {u"3=no entry ends here", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseEntries(c.line), c.entries);
}

TEST(ParseEntries, EntryWithoutCommaFails) {
  for (const std::u16string line : {u"3=中文倉頡|", u"3=||", u"天,大易||"}) {
    EXPECT_THROW(ParseEntries(line), KeyinRecordError);
  }
}

TEST(MethodUsage, CollectsTypedTextButNaturalKeepsOnlyItsLastEntry) {
  MethodUsage usage;
  AddEntries(usage, Entries({{u"天", u"自然"}, {u"天", u"行列"}, {u"拼", u"拼音"}}));
  AddEntries(usage, Entries({{u"地", u"自然"}, {u"地", u"行列"}, {u"字", u"行列 "}}));
  EXPECT_EQ(usage.counts[*MethodIndex(u"自然")], 2);
  EXPECT_EQ(usage.texts[*MethodIndex(u"自然")], u"地");
  EXPECT_EQ(usage.counts[*MethodIndex(u"行列")], 2);
  EXPECT_EQ(usage.texts[*MethodIndex(u"行列")], u"天地");
  EXPECT_EQ(TallyTable(usage), (std::vector<TallyRow>{{u"行列", 2}, {u"自然", 2}}));
}

TEST(MethodUsage, TiesKeepTheListOrder) {
  MethodUsage usage;
  AddEntries(
      usage,
      Entries(
          {{u"a", u"其他"}, {u"b", u"倉頡"}, {u"c", u"注音"}, {u"d", u"倉頡"}, {u"e", u"注音"}}));
  EXPECT_EQ(TallyTable(usage), (std::vector<TallyRow>{{u"注音", 2}, {u"倉頡", 2}, {u"其他", 1}}));
  EXPECT_EQ(MostUsedMethod(usage), u"注音");
  EXPECT_EQ(MostUsedMethod(MethodUsage{}), u"其他");
}

TEST(MethodUsage, CountsBeyondSixteenBitsStayRight) {
  // 40,000 entries of one method would wrap a 16-bit count to a negative number and let the
  // method with fewer entries win.
  MethodUsage usage;
  AddEntries(usage, std::vector<KeyinEntry>(40000, {u"字", u"注音"}));
  AddEntries(usage, std::vector<KeyinEntry>(30000, {u"字", u"倉頡"}));
  EXPECT_EQ(usage.counts[*MethodIndex(u"注音")], 40000);
  EXPECT_EQ(MostUsedMethod(usage), u"注音");
}

}  // namespace
}  // namespace keyin
