// A sitting scheduled to open at a time: candidates sign in and choose their method before it,
// start no part until it, unless the proctor lets them start early; a restart keeps both.
#include <ctime>

#include "server/sitting.h"
#include "server_fixture.h"

namespace keyin::server_test {
namespace {

using keyin::server::SittingError;
using keyin::server::SittingFromJson;

TEST(SittingOpens, IsADateAndATimeToTheMinute) {
  const json base = {{"ExamPlaceNo", "A01"}, {"ExamNo", "E01"},  {"ExamPaperNo", "P001"},
                     {"TestType", "3"},      {"SessionNo", "3"}, {"TotTime", 600},
                     {"SubtractScore", 0},   {"LibPath", "/l/"}, {"ScrPath", "/s/"},
                     {"ShowResults", false}};
  const std::pair<const char*, const char*> taken[] = {
      {"2026-12-08 09:00", "2026/12/08 09:00"},
      {"2026-12-08T09:05", "2026/12/08 09:05"},  // a form's datetime-local
      {"2026/12/8 9:00:30", "2026/12/08 09:00"},
      {"", ""},
  };
  for (const auto& [given, kept] : taken) {
    json sitting = base;
    sitting["Opens"] = given;
    EXPECT_EQ(SittingFromJson(sitting).Opens, kept) << given;
  }
  for (const char* refused : {"09:00", "2026-12-08", "2026-13-01 09:00", "2026-12-08 25:00",
                              "tomorrow 9", "1899-12-31 09:00"}) {
    json sitting = base;
    sitting["Opens"] = refused;
    EXPECT_THROW(SittingFromJson(sitting), SittingError) << refused;
  }
}

class ScheduledTest : public ServerTest {
 protected:
  json SittingJson() const override {
    json sitting = ServerTest::SittingJson();
    const std::time_t in_an_hour = std::time(nullptr) + 3600;
    std::tm local{};
    localtime_r(&in_an_hour, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    sitting["Opens"] = text;
    return sitting;
  }
};

TEST_F(ScheduledTest, CandidatesStartAtTheTimeOrWhenTheProctorOpensItEarly) {
  Session candidate = Candidate();
  EXPECT_EQ(candidate.Post("/api/candidate/method", R"({"method":"倉頡"})")->status, 200);
  const auto refused = candidate.Post("/api/candidate/start", R"({"part":1})");
  EXPECT_EQ(refused->status, 409);
  EXPECT_EQ(json::parse(refused->body)["code"], "not-open");
  json state = candidate.State();
  EXPECT_EQ(state["stage"], "ready");
  EXPECT_FALSE(state.contains("reference")) << "nothing of the paper before the start";
  const std::int64_t wait = state["opens_in_ms"];
  EXPECT_GT(wait, 58 * 60 * 1000);
  EXPECT_LE(wait, 60 * 60 * 1000);
  EXPECT_EQ(state["opens_at"].get<std::string>().size(), 16u) << state["opens_at"];

  Stop();
  Start();
  Session resumed{Client(), candidate.headers};
  EXPECT_EQ(resumed.Post("/api/candidate/start", R"({"part":1})")->status, 409);
  Session proctor = Proctor();
  EXPECT_GT(json::parse(proctor.Get("/api/sitting")->body)["opens_in_ms"], 0);
  ASSERT_EQ(proctor.Post("/api/sitting/open-now", R"({"reason":"全員到齊"})")->status, 200);
  EXPECT_EQ(proctor.Post("/api/sitting/open-now", "{}")->status, 409) << "open already";
  EXPECT_EQ(resumed.Post("/api/candidate/start", R"({"part":1})")->status, 200);

  Stop();
  Start();
  Session again{Client(), candidate.headers};
  EXPECT_EQ(again.State()["stage"], "typing") << "opened early, and so it stays";
  const json actions = json::parse(Proctor().Get("/api/actions")->body);
  ASSERT_FALSE(actions.empty());
  EXPECT_EQ(actions.back()["action"], "open-now");
  EXPECT_EQ(actions.back()["reason"], "全員到齊");
}

}  // namespace
}  // namespace keyin::server_test
