// The HTTP API of keyin-server as a client sees it: the real executable in a temporary program
// folder, with the sample paper, answering bad and good requests.
#include <gtest/gtest.h>

#include <thread>

#include "server_fixture.h"

namespace keyin::server_test {
namespace {

// A <script> element with content of its own, or an on...= handler attribute.
bool HasInlineScript(const std::string& html) {
  for (std::size_t at = html.find("<script"); at != std::string::npos;
       at = html.find("<script", at + 1)) {
    const std::size_t end = html.find('>', at);
    const std::string tag = html.substr(at, end - at);
    if (tag.find(" src=") == std::string::npos || html.compare(end + 1, 9, "</script>") != 0) {
      return true;
    }
  }
  for (std::size_t at = html.find(" on"); at != std::string::npos; at = html.find(" on", at + 1)) {
    std::size_t letter = at + 3;
    while (letter < html.size() && html[letter] >= 'a' && html[letter] <= 'z') ++letter;
    if (letter > at + 3 && letter < html.size() && html[letter] == '=') return true;
  }
  return false;
}

TEST_F(ServerTest, MalformedRequestsGet400AndChangeNothing) {
  Session candidate = Candidate();
  const json before = SeatFile("1");
  struct Case {
    const char* behaviour;
    const char* path;
    std::string body;
  };
  const Case cases[] = {
      {"not JSON", "/api/candidate/method", "{\"method\": "},
      {"JSON but no object", "/api/candidate/method", "[\"倉頡\"]"},
      {"a method outside the list", "/api/candidate/method", R"({"method":"拼音"})"},
      {"a method that is a number", "/api/candidate/method", R"({"method":4})"},
      {"a part that does not exist", "/api/candidate/start", R"({"part":3})"},
      {"a part given as text", "/api/candidate/start", R"({"part":"1"})"},
      {"a submit without a part", "/api/candidate/submit", R"({"text":"x"})"},
      {"invalid UTF-8 in a text", "/api/candidate/method", "{\"method\":\"\xff\xfe\"}"},
  };
  for (const Case& c : cases) {
    auto res = candidate.Post(c.path, c.body);
    ASSERT_TRUE(res) << c.behaviour;
    EXPECT_EQ(res->status, 400) << c.behaviour << ": " << res->body;
    EXPECT_TRUE(json::parse(res->body).contains("error")) << c.behaviour;
  }
  EXPECT_EQ(SeatFile("1"), before);
  EXPECT_EQ(candidate.State()["stage"], "method");
}

TEST_F(ServerTest, OversizedBodiesGet413AndTheDraftStays) {
  Session candidate = Candidate();
  candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
  candidate.Post("/api/candidate/start", R"({"part":1})");
  ASSERT_EQ(
      candidate.Put("/api/candidate/draft", R"({"part":1,"text":"晉太元中","base":0})")->status,
      200);
  // Beyond the server's body limit, within it but beyond what an answer may hold, and more
  // lines than the scorer takes (100,000 one-character lines once grew the keyin record 22 MB).
  std::string lines;
  for (int i = 0; i < 201; ++i) lines += "a\n";
  for (const std::string& text :
       {std::string(std::size_t{2} << 20, 'a'), std::string(300000, 'a'), lines}) {
    auto res = candidate.Put("/api/candidate/draft",
                             json{{"part", 1}, {"text", text}, {"base", 1}}.dump());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413) << text.size();
  }
  EXPECT_EQ(SeatFile("1")["parts"][0]["text"], "晉太元中");
}

TEST_F(ServerTest, UserIdsOffTheRosterOrWithPathCharactersAreRefused) {
  httplib::Client client = Client();
  struct Case {
    const char* behaviour;
    std::string user_id;
    int status;
  };
  const Case cases[] = {
      {"a parent folder", "../../etc", 400},
      {"a slash", "S1/x", 400},
      {"a backslash", "S1\\x", 400},
      {"a blank", "S12345 6789", 400},
      {"empty", "", 400},
      {"well formed but not on the roster", "S999999999", 401},
  };
  for (const Case& c : cases) {
    auto res = client.Post("/api/candidate/sign-in", json{{"UserID", c.user_id}}.dump(),
                           "application/json");
    ASSERT_TRUE(res) << c.behaviour;
    EXPECT_EQ(res->status, c.status) << c.behaviour;
    EXPECT_FALSE(res->has_header("Set-Cookie")) << c.behaviour;
  }
  EXPECT_FALSE(fs::exists(root_ / "scores"));
  EXPECT_TRUE(fs::is_empty(RoomFolder() / "seats"));
}

TEST_F(ServerTest, UnknownSeatsAre404ForTheProctor) {
  Session proctor = Proctor();
  for (const char* path : {"/api/seats/99", "/api/seats/..", "/api/seats/99/report/1"}) {
    auto res = proctor.Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
  }
  EXPECT_EQ(proctor.Post("/api/seats/99/add-time", R"({"seconds":60,"reason":"x"})")->status, 404);
  EXPECT_EQ(proctor.Post("/api/seats/1/add-time", R"({"seconds":-5,"reason":"x"})")->status, 400);
}

// The slips' QR code of the room's address: a version-2 code (25 modules) for an address of 22
// bytes at level M, in its quiet zone; nothing without a text.
TEST_F(ServerTest, TheQrCodeOfTheAddressIsAnSvgImage) {
  Session proctor = Proctor();
  auto res = proctor.Get("/api/qr.svg?text=http%3A%2F%2F127.0.0.1%3A8080%2F");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "image/svg+xml");
  EXPECT_NE(res->body.find(R"(viewBox="0 0 33 33")"), std::string::npos) << res->body;
  EXPECT_EQ(proctor.Get("/api/qr.svg")->status, 400);
  EXPECT_EQ(proctor.Get("/api/qr.svg?text=" + std::string(501, 'x'))->status, 400);
  EXPECT_EQ(Client().Get("/api/qr.svg?text=x")->status, 401);
}

// Monitoring: /livez answers while the process does; /readyz says why the room cannot serve;
// /metrics counts what a candidate does without naming anyone.
TEST_F(ServerTest, HealthAndMetricsForMonitoring) {
  httplib::Client client = Client();
  EXPECT_EQ(client.Get("/livez")->status, 200);
  EXPECT_EQ(client.Get("/readyz")->body, "ready\n");
  const auto series = [&] {
    auto res = client.Get("/metrics");
    EXPECT_EQ(res->status, 200);
    std::map<std::string, double> values;
    std::istringstream lines(res->body);
    for (std::string line; std::getline(lines, line);) {
      if (line.empty() || line[0] == '#') continue;
      values[line.substr(0, line.rfind(' '))] = std::stod(line.substr(line.rfind(' ') + 1));
    }
    EXPECT_EQ(res->body.find("S123456789"), std::string::npos);
    EXPECT_EQ(res->body.find("王小明"), std::string::npos);
    return values;
  };
  EXPECT_EQ(series()["keyin_seats{state=\"waiting\"}"], 3);

  Session candidate = Candidate();
  client.Post("/api/candidate/sign-in", R"({"UserID":"S123456789","AccessCode":"WRONG7"})",
              "application/json");
  candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
  candidate.Post("/api/candidate/start", R"({"part":1})");
  candidate.Put("/api/candidate/draft", R"({"part":1,"text":"晉","base":0})");
  std::map<std::string, double> values = series();
  EXPECT_EQ(values["keyin_sign_ins_total{result=\"ok\",role=\"candidate\"}"], 1);
  EXPECT_EQ(values["keyin_sign_ins_total{result=\"refused\",role=\"candidate\"}"], 1);
  EXPECT_EQ(values["keyin_saves_total{result=\"ok\"}"], 1);
  EXPECT_EQ(values["keyin_save_seconds_count"], 1);
  EXPECT_EQ(values["keyin_seats{state=\"typing\"}"], 1);
  candidate.Post("/api/candidate/submit", R"({"part":1})");
  WaitUntil([&] { return series()["keyin_scoring_runs_total{result=\"scored\"}"] >= 1; });
  values = series();
  EXPECT_EQ(values["keyin_submits_total{result=\"ok\"}"], 1);
  EXPECT_EQ(values["keyin_scoring_runs_total{result=\"scored\"}"], 1);
  EXPECT_EQ(values["keyin_scoring_seconds_count"], 1);

  // Not ready while the seats cannot be written, nor while the result store is gone.
  fs::rename(RoomFolder() / "seats", root_ / "seats.away");
  WriteFile(RoomFolder() / "seats", "not a folder");
  auto refused = client.Get("/readyz");
  EXPECT_EQ(refused->status, 503);
  EXPECT_EQ(refused->body, "not ready: the exam room's state cannot be written\n");
  fs::remove(RoomFolder() / "seats");
  fs::rename(root_ / "seats.away", RoomFolder() / "seats");
  fs::rename(root_ / "Vorkeyin.mdb", root_ / "away.mdb");
  EXPECT_EQ(client.Get("/readyz")->body, "not ready: the result store does not answer\n");
  fs::rename(root_ / "away.mdb", root_ / "Vorkeyin.mdb");
  EXPECT_EQ(client.Get("/readyz")->status, 200);
  EXPECT_EQ(fs::directory_iterator(RoomFolder() / "seats")->path().filename(), "1.json")
      << "the probe leaves nothing among the seats";
  EXPECT_NE(ReadFile(root_ / "server.err")
                .find("keyin-server: refused 401: POST /api/candidate/sign-in from 127.0.0.1"),
            std::string::npos);
}

TEST_F(ServerTest, SessionsAreHttpOnlyStrictCookiesAndPagesForbidInlineScript) {
  httplib::Client client = Client();
  auto res = client.Post("/api/candidate/sign-in", SignInBody(), "application/json");
  ASSERT_TRUE(res);
  const std::string cookie = res->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos) << cookie;
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos) << cookie;

  for (const char* page : {"/", "/type.html", "/proctor/", "/proctor/board.html"}) {
    auto page_res = client.Get(page);
    ASSERT_TRUE(page_res) << page;
    EXPECT_EQ(page_res->status, 200) << page;
    const std::string policy = page_res->get_header_value("Content-Security-Policy");
    EXPECT_NE(policy.find("script-src 'self'"), std::string::npos) << page;
    EXPECT_EQ(policy.find("unsafe-inline"), std::string::npos) << page;
    // Every script comes from a file; no element carries a handler.
    EXPECT_FALSE(HasInlineScript(page_res->body)) << page;
  }
  EXPECT_EQ(client.Get("/../CMakeLists.txt")->status, 404);
}

// A double click and a retry after a lost answer arrive together: the part is scored once.
TEST_F(ServerTest, SubmittingTwiceScoresOnce) {
  Session candidate = Candidate();
  candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
  candidate.Post("/api/candidate/start", R"({"part":1})");
  const std::string body = json{
      {"part", 1},
      {"text", "晉太元中，武陵人捕魚為業。\n緣溪行，忘路之遠近。\n"},
      {"base", 0}}.dump();
  std::vector<std::thread> clicks;
  std::vector<int> statuses(4);
  for (int i = 0; i < 4; ++i) {
    clicks.emplace_back([&, i] {
      Session again{Client(), candidate.headers};
      statuses[i] = again.Post("/api/candidate/submit", body)->status;
    });
  }
  for (std::thread& click : clicks) click.join();
  EXPECT_EQ(statuses, std::vector<int>(4, 200));
  EXPECT_TRUE(WaitUntil([&] { return SeatFile("1")["parts"][0]["scoring"] == "scored"; }));
  Session proctor = Proctor();
  const json results = json::parse(proctor.Get("/api/results")->body);
  EXPECT_EQ(results["rows"].size(), 1u);
  // One record line per typed line, written once.
  std::istringstream records(ReadFile(root_ / "ExamScr/Ctest-1.any"));
  int lines = 0;
  for (std::string line; std::getline(records, line);) ++lines;
  EXPECT_EQ(lines, 2);
}

// A scoring run that fails leaves the server answering and the part marked failed.
TEST_F(ServerTest, AFailingScoringRunDoesNotTakeTheServerDown) {
  Session candidate = Candidate();
  candidate.Post("/api/candidate/method", R"({"method":"倉頡"})");
  candidate.Post("/api/candidate/start", R"({"part":1})");
  fs::remove(root_ / "Vorkeyin.mdb");  // the scorer ends with "database missing"
  ASSERT_EQ(
      candidate.Post("/api/candidate/submit", R"({"part":1,"text":"晉太元中\n","base":0})")->status,
      200);
  WaitUntil([&] { return SeatFile("1")["parts"][0]["scoring"] == "failed"; });
  const json part = SeatFile("1")["parts"][0];
  EXPECT_EQ(part["scoring"], "failed");
  EXPECT_NE(part["failure"].get<std::string>().find("3"), std::string::npos) << part["failure"];
  EXPECT_EQ(candidate.State()["stage"], "ready");
  // The child was reaped: no zombie is left under the server.
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string stat = ReadFile(entry.path() / "stat");
    if (stat.find(')') == std::string::npos) continue;  // not a process, or gone already
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    EXPECT_FALSE(parent == pid_ && state == "Z") << entry.path();
  }
}

TEST_F(ServerTest, ANewSittingComesWithItsRosterAsMultipartAndABadRosterChangesNothing) {
  Session proctor = Proctor();
  // Not while the open sitting runs.
  const std::string sitting = SittingJson().dump();
  httplib::MultipartFormDataItems form = {
      {"sitting", sitting, "sitting.json", "application/json"},
      // 王小明 in code page 950.
      {"roster", "UserID,StuName,ClassName,SeatNo\r\nT1,\xA4\xFD\xA4\x70\xA9\xFA,A,7\r\n",
       "roster.csv", "text/csv"}};
  auto res = proctor.client.Post("/api/sitting", proctor.headers, form);
  EXPECT_EQ(res->status, 409) << res->body;
  ASSERT_EQ(proctor.Post("/api/sitting/end", "{}")->status, 200);

  httplib::MultipartFormDataItems bad = form;
  bad[1].content = "UserID,StuName,SeatNo\r\nT1,x,7\r\n";
  res = proctor.client.Post("/api/sitting", proctor.headers, bad);
  EXPECT_EQ(res->status, 400);
  EXPECT_NE(res->body.find("ClassName"), std::string::npos) << res->body;
  EXPECT_EQ(json::parse(proctor.Get("/api/board")->body)["seats"].size(), 3u);

  res = proctor.client.Post("/api/sitting", proctor.headers, form);
  ASSERT_EQ(res->status, 200) << res->body;
  const json board = json::parse(proctor.Get("/api/board")->body);
  ASSERT_EQ(board["seats"].size(), 1u);
  EXPECT_EQ(board["seats"][0]["StuName"], "王小明");
  EXPECT_EQ(board["ended"], false);
}

TEST_F(ServerTest, ServesHttpsWithSecureCookiesWhenGivenACertificate) {
  Stop();
  const std::string key = (root_ / "key.pem").string(), cert = (root_ / "cert.pem").string();
  ASSERT_EQ(Shell("openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 -keyout " +
                  key + " -out " + cert + " 2>/dev/null"),
            0);
  Start({"--tls-cert", cert, "--tls-key", key});
  httplib::SSLClient client("127.0.0.1", port_);
  client.enable_server_certificate_verification(false);
  auto res = client.Post("/api/candidate/sign-in", SignInBody(), "application/json");
  ASSERT_TRUE(res) << httplib::to_string(res.error());
  EXPECT_EQ(res->status, 200);
  EXPECT_NE(res->get_header_value("Set-Cookie").find("; Secure"), std::string::npos);
}

// A stop signal that comes as soon as the server names its address, before it serves, stops it.
TEST_F(ServerTest, StopsOnSigtermSentAsSoonAsItPrintsItsAddress) {
  Stop();
  for (int i = 0; i < 20; ++i) {
    Start();
    ::kill(pid_, SIGTERM);
    const std::optional<int> status = WaitForExit(pid_, std::chrono::seconds(10));
    pid_ = -1;
    ASSERT_TRUE(status) << "round " << i << ": still running 10 s after SIGTERM";
    ASSERT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "round " << i;
  }
}

// Two servers on one state folder would write the seats' files over each other's.
TEST_F(ServerTest, ASecondServerOnTheSameStateFolderRefuses) {
  const auto [status, message] = RunAnotherServer("--listen 127.0.0.1:0");
  EXPECT_NE(status, 0);
  EXPECT_NE(status, 124) << "it served instead of refusing";
  EXPECT_NE(message.find((root_ / "exam-room").string()), std::string::npos) << message;
  EXPECT_EQ(Candidate().State()["stage"], "method");  // the first one serves on
}

TEST_F(ServerTest, ASecondServerOnTheSamePortRefusesToListen) {
  const std::string listen = "127.0.0.1:" + std::to_string(port_);
  const auto [status, message] =
      RunAnotherServer("--listen " + listen + " --state " + (root_ / "other").string());
  EXPECT_EQ(status, 1);
  EXPECT_NE(message.find("cannot listen on " + listen), std::string::npos) << message;
  EXPECT_EQ(Candidate().State()["stage"], "method");
}

// A write the disk refuses: the person reads a plain message, the operator the details, once.
TEST_F(ServerTest, ARefusedWriteIsA503WithoutPathsAndOneLineOnStandardError) {
  const fs::path seats = RoomFolder() / "seats";
  fs::rename(seats, root_ / "seats.away");
  WriteFile(seats, "not a folder");  // the seat's file cannot be written
  httplib::Client client = Client();
  auto res = client.Post("/api/candidate/sign-in", SignInBody(), "application/json");
  auto again = client.Post("/api/candidate/sign-in", SignInBody(), "application/json");
  fs::remove(seats);
  fs::rename(root_ / "seats.away", seats);
  ASSERT_TRUE(res && again);
  EXPECT_EQ(res->status, 503);
  EXPECT_EQ(json::parse(res->body)["code"], "storage");
  EXPECT_EQ(res->body.find('/'), std::string::npos) << res->body;
  EXPECT_FALSE(res->has_header("Set-Cookie")) << "no session that was not kept";
  std::istringstream log(ReadFile(root_ / "server.err"));
  int lines = 0;
  for (std::string line; std::getline(log, line);) {
    if (line.find("cannot write") == std::string::npos) continue;
    ++lines;
    EXPECT_TRUE(line.starts_with("keyin-server: ")) << line;
    EXPECT_NE(line.find(seats.string()), std::string::npos) << line;
  }
  EXPECT_EQ(lines, 1) << "one line while the trouble lasts, not one per request";
  EXPECT_EQ(Candidate().State()["stage"], "method") << "and the seat goes on once it can";
}

// A burst of wrong passwords: a few are answered, then the door closes (429 with the seconds to
// wait) without the password being checked; once the wait is over the right one works.
TEST_F(ServerTest, WrongSignInsAreSlowedThen429AndLoggedWithoutTheSecret) {
  httplib::Client client = Client();
  const auto proctor = [&](const std::string& password) {
    return client.Post("/api/proctor/sign-in", json{{"password", password}}.dump(),
                       "application/json");
  };
  std::vector<int> statuses;
  for (int i = 0; i < 8; ++i) statuses.push_back(proctor("guess-" + std::to_string(i))->status);
  EXPECT_EQ(statuses, (std::vector<int>{401, 401, 401, 401, 401, 401, 429, 429}));
  auto closed = proctor(kPassword);
  ASSERT_TRUE(closed);
  EXPECT_EQ(closed->status, 429) << "the right password is not checked while the door is closed";
  EXPECT_EQ(closed->get_header_value("Retry-After"), "1");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(proctor(kPassword)->status, 200);

  // Candidates: a wrong access code counts against the UserID, and then not even the right
  // code is checked.
  for (int i = 0; i < 6; ++i) {
    client.Post("/api/candidate/sign-in", R"({"UserID":"S123456789","AccessCode":"WRONG7"})",
                "application/json");
  }
  EXPECT_EQ(client.Post("/api/candidate/sign-in", SignInBody(), "application/json")->status, 429);
  EXPECT_EQ(
      client.Post("/api/candidate/sign-in", SignInBody("S223456789"), "application/json")->status,
      200)
      << "another candidate of the room is not held up";
  const std::string log = ReadFile(root_ / "server.err");
  EXPECT_NE(log.find("sign-in refused: account administrator from 127.0.0.1"), std::string::npos)
      << log;
  EXPECT_NE(log.find("sign-in refused: UserID S123456789 from 127.0.0.1"), std::string::npos);
  EXPECT_EQ(log.find("guess-"), std::string::npos) << "never a password";
  EXPECT_EQ(log.find("WRONG7"), std::string::npos) << "nor a code";
  EXPECT_EQ(log.find(kPassword), std::string::npos);
}

// An exam centre keeps candidates' calls to the room's network and the proctor's to its staff's;
// the pages, which hold no data, are served to every address.
TEST_F(ServerTest, CallsFromOutsideTheirNetworkAre403) {
  const auto calls = [&] {
    httplib::Client client = Client();
    return std::tuple(
        client.Post("/api/candidate/sign-in", SignInBody(), "application/json")->status,
        client
            .Post("/api/proctor/sign-in", json{{"password", kPassword}}.dump(), "application/json")
            ->status,
        client.Get("/")->status);
  };
  Stop();
  Start({"--candidates-from", "10.0.0.0/8, 192.168.0.0/16", "--proctors-from", "127.0.0.0/8"});
  EXPECT_EQ(calls(), std::tuple(403, 200, 200));
  Stop();
  Start({"--candidates-from", "127.0.0.1", "--proctors-from", "::1/128"});
  EXPECT_EQ(calls(), std::tuple(200, 403, 200));
  // What is no range: network_rule_test.cpp.
}

// Every call of every role: a teacher reads, a proctor and an administrator run the sitting, and
// nobody without a staff session (a candidate's included) does anything. Accounts are made with
// keyin-tool, as a centre would.
TEST_F(ServerTest, EachRoleMayDoWhatItsRoleAllowsAndNothingElse) {
  for (const auto& [name, role] : {std::pair{"ada", "administrator"}, std::pair{"pat", "proctor"},
                                   std::pair{"tea", "teacher"}}) {
    ASSERT_EQ(
        Shell("echo " + std::string(name) + "-password | " + ServerEnvironment(root_) +
              KEYIN_BIN "/keyin-tool accounts add " + name + " --role " + role + " >/dev/null"),
        0);
  }
  // Each change of an account is logged: who ran the tool, what, never the password.
  const std::string account_log = ReadFile(root_ / "account-actions.jsonl");
  EXPECT_EQ(std::count(account_log.begin(), account_log.end(), '\n'), 3) << account_log;
  EXPECT_NE(account_log.find(R"("action":"account-add","at":)"), std::string::npos) << account_log;
  EXPECT_NE(account_log.find("added tea (teacher)"), std::string::npos) << account_log;
  EXPECT_EQ(account_log.find("-password"), std::string::npos);

  enum class Who { kNobody, kCandidate, kTeacher, kProctor, kAdministrator, kFirstAdministrator };
  std::map<Who, Session> sessions;
  sessions.emplace(Who::kNobody, Session{Client(), {}});
  sessions.emplace(Who::kCandidate, Candidate());
  sessions.emplace(Who::kTeacher, SignIn("/api/proctor/sign-in",
                                         {{"account", "tea"}, {"password", "tea-password"}}));
  sessions.emplace(Who::kProctor, SignIn("/api/proctor/sign-in",
                                         {{"account", "pat"}, {"password", "pat-password"}}));
  sessions.emplace(Who::kAdministrator, SignIn("/api/proctor/sign-in",
                                               {{"account", "ada"}, {"password", "ada-password"}}));
  sessions.emplace(Who::kFirstAdministrator, Proctor());

  struct Call {
    const char* method;
    const char* path;
    const char* body;
    bool runs;  // runs the sitting rather than reads it
  };
  const Call calls[] = {
      {"GET", "/api/sitting", "", false},
      {"GET", "/api/results", "", false},
      {"GET", "/api/results.csv", "", false},
      {"GET", "/api/actions", "", false},
      {"GET", "/api/seats/1/report/1", "", false},
      {"GET", "/api/board", "", true},
      {"GET", "/api/seats/1", "", true},
      {"POST", "/api/seats/1/add-time", R"({"seconds":60,"reason":"測試"})", true},
      {"GET", "/api/slips", "", true},
      {"POST", "/api/seats/1/admit", "{}", true},
      {"POST", "/api/seats/1/move", R"({"approve":false})", true},
      {"POST", "/api/sitting", "{}", true},
      {"POST", "/api/sitting/end", "{}", true},
  };
  for (const Call& call : calls) {
    for (auto& [who, session] : sessions) {
      auto res = std::string(call.method) == "GET" ? session.Get(call.path)
                                                   : session.Post(call.path, call.body);
      ASSERT_TRUE(res) << call.path;
      const int status = res->status;
      if (who == Who::kNobody || who == Who::kCandidate) {
        EXPECT_EQ(status, 401) << call.path << " as " << static_cast<int>(who);
      } else if (who == Who::kTeacher && call.runs) {
        EXPECT_EQ(status, 403) << call.path;
      } else {
        EXPECT_NE(status, 401) << call.path << " as " << static_cast<int>(who);
        EXPECT_NE(status, 403) << call.path << " as " << static_cast<int>(who);
      }
    }
  }
  // The action log names the account that acted.
  const json actions = json::parse(sessions.at(Who::kTeacher).Get("/api/actions")->body);
  std::vector<std::string> who_added;
  for (const json& action : actions) {
    if (action["action"] == "add-time") who_added.push_back(action["who"]);
  }
  EXPECT_EQ(who_added, (std::vector<std::string>{"pat", "ada", "administrator"}));

  // A wrong password and an unknown account are refused alike.
  httplib::Client client = Client();
  for (const json& body : {json{{"account", "pat"}, {"password", "wrong-password"}},
                           json{{"account", "nobody"}, {"password", "pat-password"}}}) {
    auto res = client.Post("/api/proctor/sign-in", body.dump(), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401);
    EXPECT_EQ(json::parse(res->body)["error"], "帳號或密碼不對，請再試一次");
  }
}

TEST(ServerStart, RefusesToStartWithoutAProctorPassword) {
  const int status = std::system("env -u KEYIN_PROCTOR_PASSWORD " KEYIN_BIN
                                 "/keyin-server --listen 127.0.0.1:0 >/dev/null 2>&1");
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
}  // namespace keyin::server_test
