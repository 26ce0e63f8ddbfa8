// keyin-server as its tests meet it: the real executable in a temporary program folder with the
// databases and the sample paper, serving a sitting on a free loopback port, and clients that
// sign in as a candidate or the proctor.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace keyin::server_test {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr char kPassword[] = "proctor-pw";

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline int Shell(const std::string& command) { return std::system(command.c_str()); }

// Waits for the process to end, at most `limit`; one still running then is killed. Its wait
// status, or nothing when it had to be killed.
inline std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

inline std::string ServerEnvironment(const fs::path& root) {
  return "KEYIN_HOME=" + root.string() + " KEYIN_PROCTOR_PASSWORD=" + kPassword + " ";
}

// A program folder with the databases and the sample paper, and keyin-server serving a sitting
// of it on a free loopback port.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The server closes a connection whose request it refuses before reading it all; the client
    // library writes without MSG_NOSIGNAL.
    ::signal(SIGPIPE, SIG_IGN);
    std::string pattern = (fs::temp_directory_path() / "keyin-http.XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    const std::string env = "KEYIN_HOME=" + root_.string() + " ";
    ASSERT_EQ(Shell(env + KEYIN_BIN "/keyin-tool init-db >/dev/null"), 0);
    ASSERT_EQ(Shell(env +
                    KEYIN_BIN "/keyin-tool make-lib --part1 " KEYIN_SAMPLES
                              "/paper-test1.txt --part2 " KEYIN_SAMPLES "/paper-test2.txt " +
                    (root_ / "lib/P001.LIB").string()),
              0);
    WriteFile(root_ / "sitting.json", SittingJson().dump());
    Start();
  }

  void TearDown() override {
    Stop();
    fs::remove_all(root_);
  }

  virtual json SittingJson() const {
    return {{"ExamPlaceNo", "A01"},
            {"ExamNo", "E01"},
            {"ExamPaperNo", "P001"},
            {"TestType", "3"},
            {"SessionNo", "3"},
            {"TotTime", 600},
            {"SubtractScore", 0},
            {"LibPath", (root_ / "lib").string() + "/"},
            {"ScrPath", (root_ / "scores").string() + "/"},
            {"ShowResults", true}};
  }

  virtual void Start(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = {
        "keyin-server", "--listen", "127.0.0.1:0", "--sitting", (root_ / "sitting.json").string(),
        "--roster",     roster_};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const int err = ::open((root_ / "server.err").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    ASSERT_GE(err, 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test that dies leaves no server behind
      ::dup2(out[1], 1);
      ::dup2(err, 2);
      ::close(out[0]);
      ::setenv("KEYIN_HOME", root_.c_str(), 1);
      ::setenv("KEYIN_PROCTOR_PASSWORD", kPassword, 1);
      for (const auto& [name, value] : environment_) ::setenv(name.c_str(), value.c_str(), 1);
      ::execv(KEYIN_BIN "/keyin-server", argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err);
    std::string first;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') first += c;
    ::close(out[0]);
    const std::size_t at = first.find("127.0.0.1:");
    ASSERT_NE(at, std::string::npos) << first;
    port_ = std::stoi(first.substr(at + 10));
  }

  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const std::optional<int> status = WaitForExit(pid_, std::chrono::seconds(20));
    pid_ = -1;
    ASSERT_TRUE(status) << "the server ignored SIGTERM";
    // An orderly stop ends with 0; a sanitizer's report at exit would not.
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "status " << *status;
  }

  // Ends the server as a crash does: no orderly stop.
  void Kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  // Another keyin-server beside the test's, given 20 s to refuse; its exit status and what it
  // wrote to standard error.
  std::pair<int, std::string> RunAnotherServer(const std::string& options) {
    const fs::path err = root_ / "another.err";
    const int status =
        Shell("timeout 20 env " + ServerEnvironment(root_) + KEYIN_BIN "/keyin-server " + options +
              " >/dev/null 2>" + err.string());
    return {WEXITSTATUS(status), ReadFile(err)};
  }

  httplib::Client Client() const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(30, 0);
    return client;
  }

  // A client signed in as the candidate; its cookie goes with every call.
  struct Session {
    httplib::Client client;
    httplib::Headers headers;
    httplib::Result Post(const std::string& path, const std::string& body) {
      return client.Post(path.c_str(), headers, body, "application/json");
    }
    httplib::Result Put(const std::string& path, const std::string& body) {
      return client.Put(path.c_str(), headers, body, "application/json");
    }
    httplib::Result Get(const std::string& path) { return client.Get(path.c_str(), headers); }
    httplib::Result Delete(const std::string& path) { return client.Delete(path.c_str(), headers); }
    json State() { return json::parse(Get("/api/candidate/state")->body); }
  };

  Session SignIn(const std::string& path, const json& body) {
    httplib::Client client = Client();
    auto res = client.Post(path.c_str(), body.dump(), "application/json");
    EXPECT_TRUE(res && res->status == 200) << (res ? res->body : "no answer");
    std::string cookie = res->get_header_value("Set-Cookie");
    return {Client(), {{"Cookie", cookie.substr(0, cookie.find(';'))}}};
  }
  // Where the server keeps the state of the sitting's room.
  fs::path RoomFolder() const {
    const json sitting = SittingJson();
    return root_ / "exam-room/rooms" /
           sitting.value("Room", sitting.at("SessionNo").get<std::string>());
  }
  // The access code the open sitting gave the candidate, as its state holds it.
  std::string AccessCode(const std::string& user_id) {
    const json sitting = json::parse(ReadFile(RoomFolder() / "sitting.json"));
    for (const json& candidate : sitting.at("roster")) {
      if (candidate.at("UserID") == user_id) return candidate.at("AccessCode");
    }
    return {};
  }
  // A candidate's sign-in body, with the right code.
  std::string SignInBody(const std::string& user_id = "S123456789") {
    return json{{"UserID", user_id}, {"AccessCode", AccessCode(user_id)}}.dump();
  }
  Session Candidate(const std::string& user_id = "S123456789") {
    return SignIn("/api/candidate/sign-in", json::parse(SignInBody(user_id)));
  }
  Session Proctor() { return SignIn("/api/proctor/sign-in", {{"password", kPassword}}); }

  // Checks `done` every 50 ms until it holds, at most `seconds`; whether it held.
  static bool WaitUntil(const std::function<bool()>& done, int seconds = 20) {
    for (int i = 0; i < seconds * 20; ++i) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }

  json SeatFile(const std::string& seat) {
    return json::parse(ReadFile(RoomFolder() / "seats" / (seat + ".json")));
  }

  fs::path root_;
  std::string roster_ = KEYIN_SAMPLES "/roster.csv";
  std::map<std::string, std::string> environment_;  // for the server, beside KEYIN_HOME
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace keyin::server_test
