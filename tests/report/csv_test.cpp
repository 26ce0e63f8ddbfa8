#include "report/csv.h"

#include <gtest/gtest.h>

namespace keyin::csv {
namespace {

TEST(Writer, QuotesOnlyWhatRfc4180Needs) {
  struct Case {
    const char* behaviour;
    std::u16string field, written;
  };
  const Case cases[] = {
      {"plain text stands as it is", u"王小明", u"王小明"},
      {"a comma is quoted", u"王,小明", u"\"王,小明\""},
      {"a quote is doubled inside quotes", u"王\"小\"明", u"\"王\"\"小\"\"明\""},
      {"a line feed is quoted", u"王\n小明", u"\"王\n小明\""},
      {"a carriage return is quoted", u"王\r\n小明", u"\"王\r\n小明\""},
      {"an empty text is an empty pair of quotes", u"", u"\"\""},
      {"blanks are kept unquoted", u" 王 ", u" 王 "},
  };
  for (const Case& c : cases) {
    Writer out(false);
    out.Field(c.field);
    EXPECT_EQ(out.Take(), c.written) << c.behaviour;
  }
}

TEST(Writer, RecordsEndInCrLfAndMissingValuesAreEmpty) {
  Writer out(true);
  out.Field(u"a");
  out.Missing();
  out.Field(u"");
  out.EndRecord();
  out.Missing();
  out.Field(u"b");
  out.EndRecord();
  EXPECT_EQ(out.Take(), u"\uFEFFa,,\"\"\r\n,b\r\n");
  out.Field(u"c");
  out.EndRecord();
  EXPECT_EQ(out.Take(), u"c\r\n") << "the mark starts the first text only";
}

}  // namespace
}  // namespace keyin::csv
