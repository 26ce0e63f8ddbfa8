// Many rooms on one server: candidates find their room by UserID and code, each room's proctor
// sees and runs only that room, and every room comes back after a restart.
#include "server/centre.h"
#include "platform/file_lock.h"
#include "server/paper_rescore.h"

#include "server_fixture.h"

namespace keyin::server_test {
namespace {

using namespace std::chrono_literals;
using keyin::FileLock;
using keyin::server::MayRunRoom;
using keyin::server::Role;
using keyin::server::Sitting;

TEST(MayRunRoom, AdministratorsEveryRoomProctorsTheirsTeachersNone) {
  Sitting named;
  named.Proctors = {"wang"};
  const Sitting unnamed;
  struct Case {
    const char* who;
    Role role;
    const Sitting* sitting;
    bool may;
  } cases[] = {
      {"root", Role::kAdministrator, &named, true}, {"wang", Role::kProctor, &named, true},
      {"lee", Role::kProctor, &named, false},       {"lee", Role::kProctor, &unnamed, true},
      {"tea", Role::kTeacher, &unnamed, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MayRunRoom(c.who, c.role, *c.sitting), c.may) << c.who;
  }
  EXPECT_TRUE(MayRunRoom("lee", Role::kProctor, std::nullopt)) << "an empty room is anyone's";
}

// What the console shows of a finished re-scoring: the tool's table (a failed run is a row of it),
// or the tool's own last word when it made none.
TEST(RescoreOutcome, TheTableOrWhyThereIsNone) {
  using keyin::server::RescoreOutcome;
  const std::string table = R"({"runs":[],"changed":0,"same":0,"failed":1})";
  EXPECT_EQ(RescoreOutcome(1, false, table, "")["state"], "done");
  const json no_log = RescoreOutcome(1, false, "", "warning\nrescore: there is no run log at x\n");
  EXPECT_EQ(no_log["state"], "failed");
  EXPECT_EQ(no_log["error"], "rescore: there is no run log at x");
  EXPECT_EQ(RescoreOutcome(3, false, table, "")["state"], "failed") << "exit 3: a database missing";
  EXPECT_EQ(RescoreOutcome(0, true, table, "")["state"], "failed") << "killed at the time limit";
}

// Room A holds paper P001 for S1 and S2, room B a practice for S2 and S3: S2 sits in both.
class CentreTest : public ServerTest {
 protected:
  json SittingJson() const override {
    json sitting = ServerTest::SittingJson();
    sitting["Room"] = "A";
    sitting["Proctors"] = {"wang"};
    return sitting;
  }

  void Start(const std::vector<std::string>& extra = {}) override {
    json second = ServerTest::SittingJson();
    second["Room"] = "B";
    second["SessionNo"] = "4";
    second["Proctors"] = {"lee"};
    WriteFile(root_ / "sitting-b.json", second.dump());
    // S2's slip gives one code for both rooms.
    WriteFile(root_ / "roster-a.csv",
              "UserID,StuName,ClassName,SeatNo,AccessCode\nS1,甲,甲班,1,\nS2,乙,甲班,2,KEY2222\n");
    WriteFile(root_ / "roster-b.csv",
              "UserID,StuName,ClassName,SeatNo,AccessCode\nS2,乙,甲班,1,KEY2222\nS3,丙,乙班,2,\n");
    roster_ = (root_ / "roster-a.csv").string();
    std::vector<std::string> options = {"--sitting", (root_ / "sitting-b.json").string(),
                                        "--roster", (root_ / "roster-b.csv").string()};
    options.insert(options.end(), extra.begin(), extra.end());
    ServerTest::Start(options);
  }

  std::string CodeIn(const std::string& room, const std::string& user_id) {
    const json sitting = json::parse(ReadFile(root_ / "exam-room/rooms" / room / "sitting.json"));
    for (const json& candidate : sitting.at("roster")) {
      if (candidate.at("UserID") == user_id) return candidate.at("AccessCode");
    }
    return {};
  }

  // The candidate signs in to the room, starts part 1 and submits its first line as typed.
  void SubmitFirstLine(const std::string& user, const std::string& room) {
    Session candidate =
        SignIn("/api/candidate/sign-in",
               {{"UserID", user}, {"AccessCode", CodeIn(room, user)}, {"Room", room}});
    candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
    ASSERT_EQ(candidate.Post("/api/candidate/start", R"({"part":1})")->status, 200);
    const std::string line = candidate.State()["reference"][0];
    const json submit = {
        {"part", 1}, {"text", line + "\n"}, {"base", 0}, {"window", "w"}, {"seq", 1}};
    ASSERT_EQ(candidate.Post("/api/candidate/submit", submit.dump())->status, 200);
  }

  bool Scored(const std::string& room, const std::string& seat) {
    const fs::path file = root_ / "exam-room/rooms" / room / "seats" / (seat + ".json");
    return json::parse(ReadFile(file))["parts"][0]["scoring"] == "scored";
  }
  bool WaitUntilScored(const std::string& room, const std::string& seat) {
    return WaitUntil([&] { return Scored(room, seat); });
  }

  Session Staff(const std::string& account, const std::string& role = "proctor") {
    if (!fs::exists(root_ / "accounts.json") ||
        ReadFile(root_ / "accounts.json").find("\"" + account + "\"") == std::string::npos) {
      EXPECT_EQ(Shell("echo password-" + account + " | " + ServerEnvironment(root_) +
                      KEYIN_BIN "/keyin-tool accounts add " + account + " --role " + role +
                      " >/dev/null"),
                0);
    }
    return SignIn("/api/proctor/sign-in",
                  {{"account", account}, {"password", "password-" + account}});
  }
};

TEST_F(CentreTest, CandidatesFindTheirRoomAndOneInTwoRoomsChooses) {
  // In one room only: the sign-in needs no room.
  for (const auto& [user, room, seat] : {std::tuple{"S1", "A", "1"}, std::tuple{"S3", "B", "2"}}) {
    Session candidate =
        SignIn("/api/candidate/sign-in", {{"UserID", user}, {"AccessCode", CodeIn(room, user)}});
    EXPECT_EQ(candidate.State()["SeatNo"], seat) << user;
  }
  // A code of room B is no key to room A.
  auto wrong = Client().Post("/api/candidate/sign-in",
                             json{{"UserID", "S1"}, {"AccessCode", CodeIn("B", "S3")}}.dump(),
                             "application/json");
  EXPECT_EQ(wrong->status, 401);

  // In both: the candidate chooses, and nothing is held before.
  auto both =
      Client().Post("/api/candidate/sign-in",
                    json{{"UserID", "S2"}, {"AccessCode", "key2222"}}.dump(), "application/json");
  ASSERT_EQ(both->status, 409) << both->body;
  const json choice = json::parse(both->body);
  EXPECT_EQ(choice["code"], "choose-room");
  ASSERT_EQ(choice["rooms"].size(), 2u);
  EXPECT_EQ(choice["rooms"][1]["Room"], "B");
  EXPECT_TRUE(both->get_header_value("Set-Cookie").empty()) << "no session before the choice";
  Session in_b = SignIn("/api/candidate/sign-in",
                        {{"UserID", "S2"}, {"AccessCode", "KEY2222"}, {"Room", "B"}});
  EXPECT_EQ(in_b.State()["SeatNo"], "1");
  EXPECT_EQ(in_b.State()["ExamPaperNo"], "P001");
  in_b.Post("/api/candidate/method", R"({"method":"倉頡"})");
  EXPECT_EQ(json::parse(ReadFile(root_ / "exam-room/rooms/B/seats/1.json"))["method"], "倉頡");
  EXPECT_FALSE(fs::exists(root_ / "exam-room/rooms/A/seats/2.json")) << "room A untouched";
}

TEST_F(CentreTest, EachProctorSeesAndRunsOnlyTheirRoom) {
  Session wang = Staff("wang");
  const json rooms = json::parse(wang.Get("/api/rooms")->body);
  ASSERT_EQ(rooms.size(), 1u) << rooms;
  EXPECT_EQ(rooms[0]["room"], "A");
  // Without a room in the path: the one room wang runs.
  EXPECT_EQ(json::parse(wang.Get("/api/board")->body)["seats"].size(), 2u);
  for (const std::string path :
       {"/api/rooms/B/board", "/api/rooms/B/results", "/api/rooms/B/actions"}) {
    EXPECT_EQ(wang.Get(path)->status, 403) << path;
  }
  EXPECT_EQ(wang.Post("/api/rooms/B/sitting/end", "{}")->status, 403);
  EXPECT_EQ(wang.Get("/api/rooms/C/board")->status, 404);

  Session lee = Staff("lee");
  EXPECT_EQ(json::parse(lee.Get("/api/rooms/B/board")->body)["seats"][1]["UserID"], "S3");

  // The administrator sees both and must say which.
  Session administrator = Proctor();
  EXPECT_EQ(json::parse(administrator.Get("/api/rooms")->body).size(), 2u);
  auto ambiguous = administrator.Get("/api/board");
  EXPECT_EQ(ambiguous->status, 409);
  EXPECT_EQ(json::parse(ambiguous->body)["code"], "choose-room");
  EXPECT_EQ(administrator.Post("/api/rooms/B/sitting/end", R"({"reason":"test"})")->status, 200);
  // Room B has ended: the administrator's plain calls mean room A, the one still running.
  EXPECT_EQ(json::parse(administrator.Get("/api/board")->body)["seats"][0]["UserID"], "S1");
}

// Mock-test rows keep no class; the rosters of the rooms' sittings give it to keyin-tool results.
TEST_F(CentreTest, ResultsOfAClassAreFoundThroughTheRostersOfEveryRoom) {
  for (const auto& [user, room] : {std::pair{"S1", "A"}, std::pair{"S3", "B"}}) {
    Session candidate =
        SignIn("/api/candidate/sign-in", {{"UserID", user}, {"AccessCode", CodeIn(room, user)}});
    candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
    candidate.Post("/api/candidate/start", R"({"part":1})");
    candidate.Post("/api/candidate/submit",
                   json{{"part", 1}, {"text", "晉太元中，武陵人捕魚為業。\n"}, {"base", 0}}.dump());
  }
  const auto scored = [&](const std::string& room, const std::string& seat) {
    return json::parse(ReadFile(root_ / "exam-room/rooms" / room / "seats" /
                                (seat + ".json")))["parts"][0]["scoring"] == "scored";
  };
  for (int i = 0; i < 200 && !(scored("A", "1") && scored("B", "2")); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const auto class_rows = [&](const std::string& class_name) {
    const fs::path out = root_ / "class.csv";
    EXPECT_EQ(
        Shell(ServerEnvironment(root_) + KEYIN_BIN "/keyin-tool results --kind mock --class " +
              class_name + " --format csv --output " + out.string()),
        0);
    return ReadFile(out);
  };
  const std::string first = class_rows("甲班"), second = class_rows("乙班");
  EXPECT_NE(first.find("S1,"), std::string::npos) << first;
  EXPECT_EQ(first.find("S3,"), std::string::npos) << first;
  EXPECT_NE(second.find("S3,"), std::string::npos) << second;
  EXPECT_EQ(second.find("S1,"), std::string::npos) << second;

  // The same in the teachers' console, with Chinese heads and the roster's class in each row.
  Session teacher = Staff("tea", "teacher");
  const json table = json::parse(teacher.Get("/api/history?class=%E4%B9%99%E7%8F%AD")->body);
  ASSERT_EQ(table["rows"].size(), 1u) << table;
  std::vector<std::string> labels;
  for (const json& column : table["columns"]) labels.push_back(column["label"]);
  const auto at = [&](const std::string& label) {
    return std::find(labels.begin(), labels.end(), label) - labels.begin();
  };
  EXPECT_EQ(table["rows"][0][at("帳號")], "S3");
  EXPECT_EQ(table["rows"][0][at("班級")], "乙班");
  const json sittings = json::parse(teacher.Get("/api/history/sittings")->body);
  ASSERT_EQ(sittings.size(), 2u);
  const json newest = json::parse(
      teacher.Get("/api/history?sitting=" + sittings[0]["id"].get<std::string>() + "&kind=mock")
          ->body);
  ASSERT_EQ(newest["count"], 1) << newest;  // the newest sitting's one candidate who typed
  EXPECT_EQ(newest["rows"][0][at("帳號")], sittings[0]["room"] == "B" ? "S3" : "S1");
  const json history = json::parse(teacher.Get("/api/history/candidate?user=S1")->body);
  EXPECT_EQ(history["ClassName"], "甲班");
  ASSERT_EQ(history["points"].size(), 1u);
  EXPECT_GT(history["points"][0]["speed"].get<double>(), 0);
  auto big5 = teacher.Get("/api/history.csv?encoding=cp950");
  EXPECT_NE(big5->body.find("\xb1\x62\xb8\xb9"), std::string::npos) << "帳號 in Big5";
  auto page = teacher.Get("/api/history/report.html?class=%E7%94%B2%E7%8F%AD");
  EXPECT_NE(page->body.find("S1"), std::string::npos);
  EXPECT_EQ(page->body.find("S3"), std::string::npos);
  // A proctor runs rooms; the centre's results are the teachers'.
  EXPECT_EQ(Staff("wang").Get("/api/history")->status, 403);
  EXPECT_EQ(teacher.Get("/api/history?from=yesterday")->status, 400);
}

// The administrator's console makes a paper from pasted text, byte for byte as make-lib does,
// and never changes one that a running sitting reads.
TEST_F(CentreTest, PapersAreMadeAsMakeLibMakesThemAndOneInUseStaysAsItIs) {
  Session administrator = Proctor();
  const std::string part1 = ReadFile(KEYIN_SAMPLES "/paper-test1.txt");
  const std::string part2 = ReadFile(KEYIN_SAMPLES "/paper-test2.txt");
  const auto body = [&](const std::string& paper, bool replace = false) {
    return json{{"ExamPaperNo", paper}, {"part1", part1}, {"part2", part2}, {"replace", replace}}
        .dump();
  };
  const json preview = json::parse(administrator.Post("/api/papers/preview", body("P009"))->body);
  ASSERT_EQ(preview["parts"].size(), 2u) << preview;
  EXPECT_EQ(preview["parts"][0][0], part1.substr(0, part1.find('\n')));
  EXPECT_FALSE(preview["exists"]);
  EXPECT_FALSE(fs::exists(root_ / "lib/P009.LIB")) << "a preview writes nothing";

  ASSERT_EQ(administrator.Post("/api/papers", body("P009"))->status, 200);
  ASSERT_EQ(Shell(ServerEnvironment(root_) +
                  KEYIN_BIN "/keyin-tool make-lib --part1 " KEYIN_SAMPLES
                            "/paper-test1.txt --part2 " KEYIN_SAMPLES "/paper-test2.txt " +
                  (root_ / "made.LIB").string()),
            0);
  EXPECT_EQ(ReadFile(root_ / "lib/P009.LIB"), ReadFile(root_ / "made.LIB"));

  const auto refused = administrator.Post("/api/papers", body("P009"));
  EXPECT_EQ(refused->status, 409);
  EXPECT_EQ(json::parse(refused->body)["code"], "paper-exists");
  EXPECT_EQ(administrator.Post("/api/papers", body("P009", true))->status, 200);

  // P001 is read by both rooms' sittings.
  const std::string before = ReadFile(root_ / "lib/P001.LIB");
  const auto in_use = administrator.Post("/api/papers", body("P001", true));
  EXPECT_EQ(in_use->status, 409);
  EXPECT_NE(in_use->body.find("考場 A"), std::string::npos) << in_use->body;
  EXPECT_EQ(ReadFile(root_ / "lib/P001.LIB"), before);
  const json papers = json::parse(administrator.Get("/api/papers")->body);
  ASSERT_EQ(papers.size(), 2u);
  EXPECT_EQ(papers[0]["in_use"], json::array({"A", "B"}));

  const auto too_long = administrator.Post(
      "/api/papers/preview",
      json{
          {"ExamPaperNo", "P010"}, {"part1", "短\n" + std::string(40, 'x') + "\n"}, {"part2", "短"}}
          .dump());
  EXPECT_EQ(too_long->status, 400);
  EXPECT_NE(too_long->body.find("line 2"), std::string::npos) << too_long->body;
  EXPECT_EQ(Staff("wang").Post("/api/papers", body("P011"))->status, 403);
}

// A paper corrected after its sittings: the dry run shows what would change and stores nothing;
// the re-scoring asked for then stores it.
TEST_F(CentreTest, ACorrectedPaperIsRescoredOnRequestAfterADryRun) {
  SubmitFirstLine("S3", "B");
  ASSERT_TRUE(WaitUntilScored("B", "2"));

  Session administrator = Proctor();
  EXPECT_EQ(administrator.Post("/api/papers/P001/rescore", "{}")->status, 409) << "in use";
  for (const char* room : {"A", "B"}) {
    ASSERT_EQ(administrator.Post("/api/rooms/" + std::string(room) + "/sitting/end", "{}")->status,
              200);
  }
  const json corrected = {
      {"ExamPaperNo", "P001"},
      {"part1", "更正後的第一行\n" + ReadFile(KEYIN_SAMPLES "/paper-test1.txt")},
      {"part2", ReadFile(KEYIN_SAMPLES "/paper-test2.txt")},
      {"replace", true}};
  ASSERT_EQ(administrator.Post("/api/papers", corrected.dump())->status, 200);

  const std::string history = "/api/history?paper=P001";
  const std::string stored = administrator.Get(history)->body;
  const auto rescore = [&](bool dry_run) {
    const auto started =
        administrator.Post("/api/papers/P001/rescore", json{{"dry_run", dry_run}}.dump());
    EXPECT_EQ(started->status, 202) << started->body;
    json state;
    WaitUntil(
        [&] {
          state = json::parse(administrator.Get("/api/rescore")->body);
          return state["state"] != "running";
        },
        30);
    return state;
  };
  const json dry = rescore(true);
  ASSERT_EQ(dry["state"], "done") << dry;
  ASSERT_EQ(dry["runs"].size(), 1u) << dry;
  EXPECT_EQ(dry["runs"][0]["UserID"], "S3");
  EXPECT_EQ(dry["runs"][0]["result"], "changed");
  EXPECT_NE(dry["runs"][0]["error_rate"]["before"], dry["runs"][0]["error_rate"]["after"]);
  EXPECT_EQ(administrator.Get(history)->body, stored) << "a dry run stores nothing";

  const json done = rescore(false);
  EXPECT_EQ(done["changed"], 1) << done;
  EXPECT_NE(administrator.Get(history)->body, stored);
  EXPECT_EQ(rescore(true)["changed"], 0) << "the stored result is the corrected one";
  EXPECT_EQ(Staff("wang").Post("/api/papers/P001/rescore", "{}")->status, 403);
}

// Accounts changed in the console as keyin-tool changes them, each act logged: a new password
// ends the account's sessions, and so does its removal.
TEST_F(CentreTest, AccountsChangedInTheConsoleEndTheirSessions) {
  Session administrator = Proctor();
  Session wang = Staff("wang");
  ASSERT_EQ(wang.Get("/api/rooms/A/board")->status, 200);
  EXPECT_EQ(wang.Get("/api/accounts")->status, 403);
  const auto add = [&](const std::string& password) {
    return administrator.Post(
        "/api/accounts", json{{"name", "tea"}, {"role", "teacher"}, {"password", password}}.dump());
  };
  EXPECT_EQ(add("short")->status, 400);
  ASSERT_EQ(add("password-tea")->status, 200);
  const auto again = add("password-tea");
  EXPECT_EQ(again->status, 409);
  EXPECT_EQ(json::parse(again->body)["code"], "account-exists");
  EXPECT_EQ(json::parse(administrator.Get("/api/accounts")->body)["accounts"],
            json::parse(R"([{"name":"wang","role":"proctor"},{"name":"tea","role":"teacher"}])"));
  Session teacher = Staff("tea");
  EXPECT_EQ(teacher.Get("/api/history")->status, 200);

  ASSERT_EQ(
      administrator.Post("/api/accounts/wang/password", R"({"password":"another-one"})")->status,
      200);
  EXPECT_EQ(wang.Get("/api/rooms/A/board")->status, 401) << "signed in with the old password";
  SignIn("/api/proctor/sign-in", {{"account", "wang"}, {"password", "another-one"}});
  ASSERT_EQ(administrator.Delete("/api/accounts/tea")->status, 200);
  EXPECT_EQ(teacher.Get("/api/history")->status, 401);
  EXPECT_EQ(administrator.Delete("/api/accounts/tea")->status, 404);
  EXPECT_EQ(
      administrator.Post("/api/accounts/nobody/password", R"({"password":"another-one"})")->status,
      404);

  ASSERT_EQ(Shell(ServerEnvironment(root_) + KEYIN_BIN "/keyin-tool accounts list >" +
                  (root_ / "listed.txt").string()),
            0);
  EXPECT_EQ(ReadFile(root_ / "listed.txt"), "wang\tproctor\n");
  const std::string log = ReadFile(root_ / "account-actions.jsonl");
  for (const char* act : {"account-add", "account-passwd", "account-remove"}) {
    EXPECT_NE(log.find(act), std::string::npos) << act;
  }
}

// Another server on the same program folder appends to the same keyin record files: while it
// holds a file's lock, a part waits to append its lines (and so to be scored), then goes on.
TEST_F(CentreTest, TheKeyinRecordIsAppendedInTurnWithAnotherServer) {
  SubmitFirstLine("S1", "A");
  ASSERT_TRUE(WaitUntilScored("A", "1"));
  fs::path record;
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    if (entry.path().filename() == "Ctest-1.any") record = entry.path();
  }
  ASSERT_FALSE(record.empty());
  const auto size = fs::file_size(record);
  {
    const std::optional<FileLock> other_server = FileLock::TryTake(record.string());
    ASSERT_TRUE(other_server);
    SubmitFirstLine("S3", "B");
    std::this_thread::sleep_for(1500ms);
    EXPECT_FALSE(Scored("B", "2"));
    EXPECT_EQ(fs::file_size(record), size);
  }
  ASSERT_TRUE(WaitUntilScored("B", "2"));
  EXPECT_GT(fs::file_size(record), size);
}

TEST_F(CentreTest, EveryRoomResumesAfterARestartAndRoomsAreNamedOnce) {
  Session candidate =
      SignIn("/api/candidate/sign-in", {{"UserID", "S3"}, {"AccessCode", CodeIn("B", "S3")}});
  candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
  const std::string code_a = CodeIn("A", "S1");
  Stop();
  Start();
  EXPECT_EQ(CodeIn("A", "S1"), code_a) << "room A resumed, not opened again";
  Session again{Client(), candidate.headers};  // the server listens on another port now
  EXPECT_EQ(again.State()["method"], "倉頡") << "the session in room B holds on";

  // Two sittings for one room cannot both open.
  const auto [status, message] = RunAnotherServer(
      "--state " + (root_ / "other").string() + " --listen 127.0.0.1:0 --sitting " +
      (root_ / "sitting.json").string() + " --roster " + roster_ + " --sitting " +
      (root_ / "sitting.json").string() + " --roster " + roster_);
  EXPECT_EQ(status, 2) << message;
  EXPECT_NE(message.find("room A"), std::string::npos) << message;
}

}  // namespace
}  // namespace keyin::server_test
