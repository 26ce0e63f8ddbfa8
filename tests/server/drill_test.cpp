#include "server/drill.h"

#include <gtest/gtest.h>

namespace keyin::server {
namespace {

Sitting Practice() {
  Sitting practice;
  practice.ExamPlaceNo = "A01";
  practice.ExamNo = "E01";
  practice.ExamPaperNo = "P001";
  practice.TestType = "2";
  practice.SessionNo = "7";
  practice.TotTime = "300";
  practice.SubtractScore = "0";
  practice.LibPath = "C:\\KEYIN\\lib\\";
  practice.ScrPath = "C:\\KEYIN\\scores\\";
  practice.SignIn = "code+proctor";
  practice.Room = "B2";
  practice.Proctors = {"lin"};
  practice.Opens = "2026/12/08 09:00";
  return practice;
}

TEST(DrillSitting, AStudentsOwnSinglePracticeInTheirRoomAndFolderWithTheTeachersTerms) {
  const std::string paper = DrillPaperName("S1", {2026, 12, 8, 9, 5, 7});
  EXPECT_EQ(paper, "DRILL-S1-261208090507");
  const Sitting drill = DrillSitting(Practice(), "S1", paper);
  EXPECT_EQ(drill.ExamPaperNo, paper);
  EXPECT_EQ(drill.TestType, "1");
  EXPECT_EQ(PartCount(drill), 1);
  EXPECT_TRUE(IsPractice(drill));
  EXPECT_TRUE(drill.ShowResults);
  EXPECT_EQ(drill.SignIn, "code");  // no proctor to admit a drill
  EXPECT_EQ(drill.Room, "drill-S1");
  EXPECT_EQ(drill.Opens, "");
  EXPECT_EQ(drill.ScrPath, "C:\\KEYIN\\scores\\drills\\" + paper + "\\");
  for (const auto& kept : {&Sitting::ExamPlaceNo, &Sitting::ExamNo, &Sitting::SessionNo,
                           &Sitting::TotTime, &Sitting::LibPath}) {
    EXPECT_EQ(drill.*kept, Practice().*kept);
  }
  EXPECT_EQ(drill.Proctors, Practice().Proctors);
  // The sitting the room stores must read back as itself.
  EXPECT_EQ(SittingFromJson(SittingToJson(drill)), drill);

  // A drill after a drill answers beside the first, not inside its folder.
  const Sitting next = DrillSitting(drill, "S1", "DRILL-S1-261208091000");
  EXPECT_EQ(next.ScrPath, "C:\\KEYIN\\scores\\drills\\DRILL-S1-261208091000\\");
}

TEST(PaperLinesOf, FitsEachLineToAPapersLineAndLeavesOutWhatBig5Lacks) {
  struct Case {
    const char* behaviour;
    std::vector<std::u16string> lines;
    std::vector<std::u16string> fitted;
  };
  const Case cases[] = {
      {"short lines stay", {u"晉太元中，武陵人", u"ab 1"}, {u"晉太元中，武陵人", u"ab 1"}},
      {"16 wide characters fill a line",
       {u"一二三四五六七八九十一二三四五六七"},
       {u"一二三四五六七八九十一二三四五六", u"七"}},
      {"narrow characters count one byte",
       {u"一二三四五六七八九十一二三四五abc"},
       {u"一二三四五六七八九十一二三四五ab", u"c"}},
      {"a line Big5 lacks is left out", {u"𠀋字", u"中"}, {u"中"}},
      {"blank pieces are no lines", {u"  "}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(PaperLinesOf(c.lines), c.fitted) << c.behaviour;
}

}  // namespace
}  // namespace keyin::server
