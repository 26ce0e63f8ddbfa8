#include "run/run_kind.h"

#include <gtest/gtest.h>

#include "run/run_end.h"

namespace keyin {
namespace {

RunParams OfType(std::u16string TestType) {
  RunParams params;
  params.TestType = std::move(TestType);
  return params;
}

// TestType is read as a number, strictly: blanks around it are allowed, nothing else is.
TEST(KindOfRun, ReadsTestTypeAsANumber) {
  const struct {
    const char* reading;
    std::u16string TestType;
    RunKind kind;
  } cases[] = {
      {"0 is the custom-text practice", u"0", RunKind::kCustomTextPractice},
      {"so is 00", u"00", RunKind::kCustomTextPractice},
      {"1 is the single article practice", u"1", RunKind::kSingleArticlePractice},
      {"2 is the double one", u"2", RunKind::kDoubleArticlePractice},
      {"3 with blanks is the mock test", u" 3 ", RunKind::kMockTest},
      {"4.0 is the offline exam", u"4.0", RunKind::kOfflineExam},
      {"05 is an exam", u"05", RunKind::kExam},
      {"so is 5.0", u"5.0", RunKind::kExam},
      {"7 is the keyin record test", u"7", RunKind::kKeyinRecordTest},
      {"6 is no kind of its own", u"6", RunKind::kOther},
      {"nor is 2.5", u"2.5", RunKind::kOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KindOfRun(OfType(c.TestType)), c.kind) << c.reading;
    EXPECT_EQ(KindOfRunIfNumber(OfType(c.TestType)), c.kind) << c.reading;
  }
  for (const std::u16string no_number : {u"", u"x", u"3a", u"0x3"}) {
    EXPECT_THROW(KindOfRun(OfType(no_number)), RunFailure);
    EXPECT_EQ(KindOfRunIfNumber(OfType(no_number)), std::nullopt);
  }
}

}  // namespace
}  // namespace keyin
