#include "records/cscr_file.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "run/run_end.h"

namespace keyin {
namespace {

TEST(CscrFile, NameJoinsSessionAndSeatAsTwoDigitNumbers) {
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"7", u"CSCR0307"},   {u"A1", u"CSCR0300"},  {u"123", u"CSCR03123"},
      {u"", u"CSCR0300"},    {u" 3 ", u"CSCR0303"}, {u"2.5", u"CSCR0303"},
      {u"9.4", u"CSCR0309"}, {u"-3", u"CSCR03-03"}, {u"7B", u"CSCR0307"}};
  for (const auto& [seat, name] : cases)
    EXPECT_EQ(CscrFileName(u"3", seat), name) << Utf16ToUtf8(seat);
  EXPECT_EQ(CscrFileName(u"2", u"15"), u"CSCR0215");
  EXPECT_THROW(TwoDigitNumber(u"1e999"), RunFailure);  // no number can hold it
}

}  // namespace
}  // namespace keyin
