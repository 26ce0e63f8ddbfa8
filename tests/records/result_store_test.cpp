#include "records/result_store.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(ResultTableOf, FollowsTheStorageDispatch) {
  struct Case {
    const char* behaviour;
    std::u16string TestType;
    std::optional<ResultTable> expected;
  };
  const Case cases[] = {
      {"exam stores Keyin", u"5", ResultTable::kKeyin},
      {"mock test stores TestScore_Student", u"3", ResultTable::kTestScoreStudent},
      {"offline exam stores OfflineScore", u"4", ResultTable::kOfflineScore},
      {"article practice stores TempScore", u"2", ResultTable::kTempScore},
      {"custom-text practice stores nothing", u"0", std::nullopt},
      {"kind 7 stores nothing", u"7", std::nullopt},
      {"not a number stores nothing", u"x", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ResultTableOf(c.TestType), c.expected) << c.behaviour;
}

TEST(TableColumns, ReadsTheColumnsOfTheCreatingStatement) {
  EXPECT_EQ(TableColumns(ResultTable::kKeyin),
            (std::vector<std::string>{"ExamPlaceNo", "ExamNo", "UserID", "ExamPaperNo", "Score1",
                                      "Err1", "Score2", "Err2", "Score", "Err", "ExamDate"}));
  EXPECT_EQ(TableColumns(ResultTable::kOfflineScore),
            (std::vector<std::string>{"SessionSeatNo", "Tno", "Score1", "Err1", "Score2", "Err2",
                                      "Score3", "Err3"}));
  EXPECT_EQ(TableColumns(ResultTable::kTestScoreStudent).size(), 16u);
}

TEST(OpenResultStore, MissingDatabaseIsADatabaseError) {
  EXPECT_THROW(OpenResultStore("/nonexistent-keyin-folder", ResultTable::kTempScore),
               DatabaseError);
}

}  // namespace
}  // namespace keyin
