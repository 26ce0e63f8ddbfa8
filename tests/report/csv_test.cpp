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

// A field that would start a formula in a spreadsheet program is written as text, behind a single
// quote; negative numbers and texts that merely contain such a character are left as they are.
TEST(Writer, WouldBeFormulasGoOutAsText) {
  struct Case {
    const char* behaviour;
    std::u16string field, written;
  };
  const Case cases[] = {
      {"an equals sign starts a formula", u"=1+1", u"'=1+1"},
      {"a link formula is quoted for its comma and its quotes", u"=HYPERLINK(\"http://x\",\"y\")",
       u"\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
      {"a command through DDE", u"=cmd|'/C calc'!A0", u"'=cmd|'/C calc'!A0"},
      {"a plus sign", u"+1+cmd|' /C calc'!A0", u"'+1+cmd|' /C calc'!A0"},
      {"a minus sign before no number", u"-2+3", u"'-2+3"},
      {"a minus sign alone", u"-", u"'-"},
      {"an at sign", u"@SUM(A1)", u"'@SUM(A1)"},
      {"a tab", u"\t=1", u"'\t=1"},
      {"a carriage return, quoted as well", u"\r=1", u"\"'\r=1\""},
      {"line ends alone hold no formula", u"\r\n", u"\"\r\n\""},
      {"nor do a tab and a blank", u"\t ", u"\t "},
      {"a negative whole number stays a number", u"-3", u"-3"},
      {"a negative fraction", u"-0.5", u"-0.5"},
      {"a negative number with an exponent", u"-1E-05", u"-1E-05"},
      {"a sign inside the text is harmless", u"王=小明", u"王=小明"},
      {"a full-width equals sign starts nothing", u"＝1", u"＝1"},
      {"a blank before the sign starts nothing", u" =1", u" =1"},
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
