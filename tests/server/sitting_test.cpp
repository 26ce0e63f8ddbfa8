#include "server/sitting.h"

#include <gtest/gtest.h>

namespace keyin::server {
namespace {

using nlohmann::json;

json ValidSitting() {
  return json::parse(R"({"ExamPlaceNo":"A01","ExamNo":"E01","ExamPaperNo":"P001","TestType":"3",
    "SessionNo":"3","TotTime":600,"SubtractScore":0.5,"LibPath":"C:\\lib","ScrPath":"/srv/scores/",
    "ShowResults":true})");
}

TEST(SittingFromJson, ReadsNumbersAsTheirTextsAndEndsFoldersWithASeparator) {
  const Sitting sitting = SittingFromJson(ValidSitting());
  EXPECT_EQ(sitting.TotTime, "600");
  EXPECT_EQ(sitting.SubtractScore, "0.5");
  EXPECT_EQ(sitting.LibPath, "C:\\lib/");
  EXPECT_EQ(sitting.ScrPath, "/srv/scores/");
  EXPECT_TRUE(sitting.ShowResults);
  EXPECT_EQ(PartCount(sitting), 2);
  EXPECT_EQ(SittingFromJson(SittingToJson(sitting)), sitting);
}

TEST(SittingFromJson, RefusesWhatWouldBreakTheArgumentStringOrAFileName) {
  struct Case {
    const char* behaviour;
    const char* field;
    json value;
  };
  const Case cases[] = {
      {"a comma would add a run parameter", "ExamNo", "E,01"},
      {"a line end in a text", "ExamPlaceNo", "A\n01"},
      {"a paper number that walks out of the library folder", "ExamPaperNo", "../P001"},
      {"a session that is not a folder name", "SessionNo", "3/4"},
      {"a kind of run the scorer does not know", "TestType", "6"},
      {"a time that is not whole seconds", "TotTime", 1.5},
      {"no time at all", "TotTime", 0},
      {"a deduction that is no number", "SubtractScore", "half"},
      {"ShowResults as a text", "ShowResults", "true"},
      {"an empty folder", "ScrPath", ""},
      {"a required field missing", "LibPath", nullptr},
      {"a way of signing in nobody knows", "SignIn", "password"},
  };
  for (const Case& c : cases) {
    json sitting = ValidSitting();
    if (c.value.is_null()) {
      sitting.erase(c.field);
    } else {
      sitting[c.field] = c.value;
    }
    EXPECT_THROW(SittingFromJson(sitting), SittingError) << c.behaviour;
  }
  EXPECT_THROW(SittingFromJson(json::array()), SittingError);
}

TEST(SittingFromJson, CustomTextOnlyForTheCustomTextPracticeAndWithoutBlankLines) {
  json sitting = ValidSitting();
  sitting["CustomText"] = "甲乙\r\n\n  \n丙丁";
  EXPECT_THROW(SittingFromJson(sitting), SittingError);
  sitting["TestType"] = "0";
  const Sitting custom = SittingFromJson(sitting);
  EXPECT_EQ(custom.CustomText, (std::vector<std::string>{"甲乙", "丙丁"}));
  EXPECT_EQ(PartCount(custom), 1);
}

TEST(ParseCsv, ReadsQuotedFieldsAndBothLineEnds) {
  EXPECT_EQ(ParseCsv("a,\"b,c\"\r\n\"say \"\"hi\"\"\",\"two\nlines\"\nlast,"),
            (std::vector<std::vector<std::string>>{
                {"a", "b,c"}, {"say \"hi\"", "two\nlines"}, {"last", ""}}));
  EXPECT_THROW(ParseCsv("a,\"never closed\n"), SittingError);
}

TEST(ParseRoster, ReadsTheEncodingsTeachersExport) {
  const std::vector<Candidate> expected = {{"S1", "王小明", "甲班", "1"},
                                           {"S2", "林美華", "甲班", "2"}};
  struct Case {
    const char* behaviour;
    std::string bytes;
  };
  const Case cases[] = {
      {"UTF-8", "UserID,StuName,ClassName,SeatNo\nS1,王小明,甲班,1\nS2,林美華,甲班,2\n"},
      {"UTF-8 with a byte-order mark and CR LF",
       "\xEF\xBB\xBFUserID,StuName,ClassName,SeatNo\r\nS1,王小明,甲班,1\r\nS2,林美華,甲班,2\r\n"},
      // 王小明 甲班 林美華 in code page 950, as a spreadsheet in Taiwan saves it.
      {"code page 950",
       "UserID,StuName,ClassName,SeatNo\r\nS1,\xA4\xFD\xA4\x70\xA9\xFA,\xA5\xD2\xAF\x5A,1\r\n"
       "S2,\xAA\x4C\xAC\xFC\xB5\xD8,\xA5\xD2\xAF\x5A,2\r\n"},
      {"columns in another order, extra columns, blank rows and blanks around values",
       "\n座位,SeatNo,ClassName,StuName,UserID\n,1, 甲班 ,王小明,S1 \n\n,2,甲班,林美華,S2\n,,,,\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseRoster(c.bytes), expected) << c.behaviour;
}

TEST(ParseRoster, RefusesRowsThatCannotBeSeatedSafely) {
  struct Case {
    const char* behaviour;
    std::string bytes;
    std::string message_part;
  };
  const Case cases[] = {
      {"a missing column", "UserID,StuName,SeatNo\nS1,甲,1\n", "ClassName"},
      {"path characters in UserID", "UserID,StuName,ClassName,SeatNo\n../x,甲,乙,1\n", "第 2 列"},
      {"an empty seat", "UserID,StuName,ClassName,SeatNo\nS1,甲,乙,\n", "SeatNo"},
      {"a duplicate UserID", "UserID,StuName,ClassName,SeatNo\nS1,甲,乙,1\nS1,丙,乙,2\n", "重複"},
      {"a duplicate seat", "UserID,StuName,ClassName,SeatNo\nS1,甲,乙,1\nS2,丙,乙,1\n", "重複"},
      {"a comma inside a quoted name", "UserID,StuName,ClassName,SeatNo\nS1,\"王,小明\",乙,1\n",
       "逗號"},
      {"no candidate", "UserID,StuName,ClassName,SeatNo\n", "沒有考生"},
      {"an access code too short", "UserID,StuName,ClassName,SeatNo,AccessCode\nS1,甲,乙,1,AB1\n",
       "AccessCode"},
      {"an access code with a sign",
       "UserID,StuName,ClassName,SeatNo,AccessCode\nS1,甲,乙,1,AB-12\n", "AccessCode"},
      {"nothing at all", "", "空"},
  };
  for (const Case& c : cases) {
    try {
      ParseRoster(c.bytes);
      ADD_FAILURE() << c.behaviour << ": accepted";
    } catch (const SittingError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message_part), std::string::npos)
          << c.behaviour << ": " << error.what();
    }
  }
}

// Codes from the roster are kept; the rest are made once, when the sitting opens. A sitting
// resumed from the same roster file, which holds none of the made codes, is the same sitting.
TEST(AccessCodes, TheRosterMayGiveThemAndTheRestAreMade) {
  const std::vector<Candidate> roster =
      ParseRoster("UserID,StuName,ClassName,SeatNo,AccessCode\nS1,甲,乙,1,ab12cd\nS2,丙,乙,2,\n");
  EXPECT_EQ(roster[0].AccessCode, "ab12cd");
  EXPECT_EQ(roster[1].AccessCode, "");
  int drawn = 0;
  const std::vector<Candidate> coded = MakeAccessCodes(roster, [&] {
    ++drawn;
    return std::string("MADE01");
  });
  EXPECT_EQ(drawn, 1);
  EXPECT_EQ(coded[0].AccessCode, "ab12cd");
  EXPECT_EQ(coded[1].AccessCode, "MADE01");
  EXPECT_TRUE(SameRoster(coded, roster));
  std::vector<Candidate> other = roster;
  other[0].AccessCode = "ZZ99ZZ";
  EXPECT_FALSE(SameRoster(coded, other));
  other = roster;
  other.pop_back();
  EXPECT_FALSE(SameRoster(coded, other));

  struct Case {
    const char* given;
    const char* expected;
    bool matches;
  };
  const Case cases[] = {{"AB12CD", "ab12cd", true},
                        {" ab12cd\t", "AB12CD", true},
                        {"AB12C", "AB12CD", false},
                        {"AB12CDE", "AB12CD", false},
                        {"", "", false},
                        {"x", "", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(AccessCodeMatches(c.given, c.expected), c.matches) << c.given << " / " << c.expected;
  }
}

TEST(SittingFromJson, SignInIsByCodeUnlessTheSittingAsksTheProctorToo) {
  struct Case {
    json value;
    bool code, admission;
  };
  const Case cases[] = {{nullptr, true, false},
                        {"code", true, false},
                        {"proctor", false, true},
                        {"code+proctor", true, true}};
  for (const Case& c : cases) {
    json object = ValidSitting();
    if (!c.value.is_null()) object["SignIn"] = c.value;
    const Sitting sitting = SittingFromJson(object);
    EXPECT_EQ(AsksAccessCode(sitting), c.code) << c.value;
    EXPECT_EQ(AsksAdmission(sitting), c.admission) << c.value;
    EXPECT_EQ(SittingFromJson(SittingToJson(sitting)), sitting);
  }
}

}  // namespace
}  // namespace keyin::server
