// Load on keyin-server as a classroom makes it: every seat types and saves every 5 seconds, then
// within one short window every seat submits part 1, starts part 2 and submits it too. Reports
// the latency of saves and the time from a submit to the part's result on the proctor's board,
// and checks that no draft, no row and no scoring was lost or doubled. With --slow-clients N,
// N more connections send one byte of a request head every 2 seconds the whole time, each from
// its own address, reconnecting whenever the server cuts them. run_server_load.sh prepares the
// server; this program only speaks HTTP to it.
//
// Each seat connects from its own loopback address (127.1.x.y), as each computer of a room has
// its own, so the server's bound on connections per address applies as it does in a room.
#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

struct Options {
  int port = 0;
  int seats = 60;
  int slow_clients = 0;
  double typing_seconds = 30;
  double burst_seconds = 10;
  std::string password;
};

// The loopback address of the n-th client of a block (127.<block>.x.y, never .0 or .255).
std::string LoopbackAddress(int block, int n) {
  return "127." + std::to_string(block) + "." + std::to_string(n / 250) + "." +
         std::to_string(n % 250 + 1);
}

void BindTo(int socket, const std::string& address) {
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    std::perror(("server-load: bind " + address).c_str());
  }
}

// A typed line: ten characters of text a candidate could type.
std::string Piece(int seat, int n) {
  static const char* const kText[] = {"晉太元中，武陵人捕魚", "為業。緣溪行，忘路之",
                                      "遠近。忽逢桃花林，夾", "岸數百步，中無雜樹，",
                                      "芳草鮮美，落英繽紛。"};
  return kText[(seat + n) % 5] + std::string(n % 3 == 2 ? "\n" : "");
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Figures {
  std::mutex mutex;
  std::vector<double> saves;
  std::vector<double> results;
  int failed_saves = 0;
  int failed_calls = 0;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t rank = static_cast<std::size_t>(std::ceil(p * values.size()));
  return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

class Seat {
 public:
  Seat(const Options& options, const std::string& room, const json& entry, int index)
      : client_("127.0.0.1", options.port),
        room_(room),
        user_(entry["UserID"]),
        seat_(entry["SeatNo"]),
        code_(entry["AccessCode"]),
        index_(index) {
    client_.set_keep_alive(true);
    client_.set_tcp_nodelay(true);  // as browsers do
    client_.set_read_timeout(60, 0);
    const std::string address = LoopbackAddress(1, index);
    client_.set_socket_options([address](socket_t socket) {
      httplib::default_socket_options(socket);
      BindTo(socket, address);
    });
  }

  bool Call(const char* method, const std::string& path, const json& body, json* answer = nullptr) {
    const auto send = [&] {
      return std::string(method) == "PUT"
                 ? client_.Put(path.c_str(), headers_, body.dump(), "application/json")
                 : client_.Post(path.c_str(), headers_, body.dump(), "application/json");
    };
    httplib::Result res = send();
    // A kept-alive connection the server closed just as this request went out: sent again on
    // a new one, as browsers do (every call here may be repeated safely).
    if (!res) res = send();
    if (!res || res->status != 200) {
      std::fprintf(stderr, "server-load: %s %s: %s\n", method, path.c_str(),
                   res ? (std::to_string(res->status) + " " + res->body).c_str()
                       : httplib::to_string(res.error()).c_str());
      return false;
    }
    if (res->has_header("Set-Cookie")) {
      const std::string cookie = res->get_header_value("Set-Cookie");
      headers_ = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    }
    json parsed = json::parse(res->body, nullptr, false);
    if (parsed.is_object() && parsed.contains("version")) version_ = parsed["version"];
    if (answer != nullptr) *answer = std::move(parsed);
    return true;
  }

  // A save or submit of the part's text as the page sends it.
  json Body(int part) {
    return {{"part", part},
            {"text", text_[part]},
            {"base", version_},
            {"window", "load"},
            {"seq", ++seq_}};
  }

  // Types and saves every 5 seconds until `until`.
  void TypeUntil(int part, Clock::time_point until, Figures& figures, std::mt19937& random) {
    auto next = Clock::now() + std::chrono::milliseconds(random() % 5000);
    while (next < until) {
      std::this_thread::sleep_until(next);
      text_[part] += Piece(index_, static_cast<int>(text_[part].size()));
      const auto start = Clock::now();
      const bool saved = Call("PUT", "/api/candidate/draft", Body(part));
      const double took = Ms(Clock::now() - start);
      std::lock_guard lock(figures.mutex);
      figures.saves.push_back(took);
      if (!saved) ++figures.failed_saves;
      next += std::chrono::seconds(5);
    }
  }

  bool Start(int part) {
    version_ = 0;
    return Call("POST", "/api/candidate/start", {{"part", part}});
  }

  const std::string& Room() const { return room_; }
  const std::string& SeatNo() const { return seat_; }
  const std::string& UserID() const { return user_; }
  const std::string& AccessCode() const { return code_; }
  std::string text_[3];
  Clock::time_point submitted_[3];

 private:
  httplib::Client client_;
  httplib::Headers headers_;
  std::string room_, user_, seat_, code_;
  int index_;
  std::int64_t version_ = 0;
  std::int64_t seq_ = 0;
};

// Connections that each send one byte of a request head every 2 seconds, from their own
// addresses, until `stop`; a connection the server closes is opened again.
void SlowClients(const Options& options, const std::atomic<bool>& stop, std::atomic<int>& cut) {
  const std::string head = "GET /api/candidate/state HTTP/1.1\r\nHost: x\r\nX-Slow: ";
  struct Slow {
    int socket = -1;
    std::size_t sent = 0;
  };
  std::vector<Slow> slow(static_cast<std::size_t>(options.slow_clients));
  const auto open = [&](std::size_t i) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    BindTo(s, LoopbackAddress(2, static_cast<int>(i)));
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(options.port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
      ::close(s);
      return Slow{};
    }
    ::fcntl(s, F_SETFL, O_NONBLOCK);
    return Slow{s, 0};
  };
  for (std::size_t i = 0; i < slow.size(); ++i) slow[i] = open(i);
  while (!stop) {
    for (std::size_t i = 0; i < slow.size(); ++i) {
      Slow& client = slow[i];
      char drained[256];
      const bool closed =
          client.socket < 0 ||
          ::send(client.socket, &head[client.sent % head.size()], 1, MSG_NOSIGNAL) != 1 ||
          ::recv(client.socket, drained, sizeof drained, MSG_DONTWAIT) == 0;
      if (closed) {
        if (client.socket >= 0) {
          ::close(client.socket);
          ++cut;
        }
        client = open(i);
      } else {
        ++client.sent;
      }
    }
    for (int tick = 0; tick < 20 && !stop; ++tick) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  for (Slow& client : slow) {
    if (client.socket >= 0) ::close(client.socket);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--port") options.port = std::stoi(value);
    if (name == "--seats") options.seats = std::stoi(value);
    if (name == "--slow-clients") options.slow_clients = std::stoi(value);
    if (name == "--typing-seconds") options.typing_seconds = std::stod(value);
    if (name == "--burst-seconds") options.burst_seconds = std::stod(value);
    if (name == "--password") options.password = value;
  }
  httplib::Client proctor("127.0.0.1", options.port);
  proctor.set_read_timeout(60, 0);
  auto signed_in = proctor.Post("/api/proctor/sign-in", json{{"password", options.password}}.dump(),
                                "application/json");
  if (!signed_in || signed_in->status != 200) {
    std::fprintf(stderr, "server-load: cannot sign in as the proctor\n");
    return 1;
  }
  const std::string cookie = signed_in->get_header_value("Set-Cookie");
  const httplib::Headers proctor_headers = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
  // Every room's seats, from its slips; the proctor's calls name the room.
  const auto in_room = [](const std::string& room, const std::string& path) {
    return "/api/rooms/" + room + path;
  };
  std::vector<std::string> rooms;
  for (const json& room : json::parse(proctor.Get("/api/rooms", proctor_headers)->body)) {
    rooms.push_back(room["room"]);
  }
  std::vector<std::unique_ptr<Seat>> seats;
  for (const std::string& room : rooms) {
    const json slips =
        json::parse(proctor.Get(in_room(room, "/slips").c_str(), proctor_headers)->body)["slips"];
    for (std::size_t i = 0; i < slips.size() && static_cast<int>(seats.size()) < options.seats;
         ++i) {
      seats.push_back(
          std::make_unique<Seat>(options, room, slips[i], static_cast<int>(seats.size())));
    }
  }

  std::atomic<bool> stop_slow = false;
  std::atomic<int> slow_cut = 0;
  std::thread slow_thread;
  if (options.slow_clients > 0) {
    slow_thread = std::thread([&] { SlowClients(options, stop_slow, slow_cut); });
  }

  Figures figures;
  const auto begin = Clock::now();
  const auto burst =
      begin + std::chrono::milliseconds(static_cast<int>(options.typing_seconds * 1000));
  const auto burst_end =
      burst + std::chrono::milliseconds(static_cast<int>(options.burst_seconds * 1000));
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seats.size(); ++i) {
    threads.emplace_back([&, i] {
      Seat& seat = *seats[i];
      std::mt19937 random(static_cast<unsigned>(i) * 7919u + 1u);
      bool ok = seat.Call("POST", "/api/candidate/sign-in",
                          {{"UserID", seat.UserID()}, {"AccessCode", seat.AccessCode()}}) &&
                seat.Call("POST", "/api/candidate/method", {{"method", "倉頡"}}) && seat.Start(1);
      if (!ok) {
        std::lock_guard lock(figures.mutex);
        ++figures.failed_calls;
        return;
      }
      // Every seat submits part 1 in the first half of the window and part 2 in the second.
      const auto window = std::chrono::milliseconds(static_cast<int>(options.burst_seconds * 500));
      const auto submit1 = burst + std::chrono::milliseconds(random() % window.count());
      const auto submit2 = burst + window + std::chrono::milliseconds(random() % window.count());
      seat.TypeUntil(1, submit1, figures, random);
      std::this_thread::sleep_until(submit1);
      seat.text_[1] += Piece(static_cast<int>(i), 99);
      seat.submitted_[1] = Clock::now();
      ok = seat.Call("POST", "/api/candidate/submit", seat.Body(1)) && seat.Start(2);
      seat.TypeUntil(2, submit2, figures, random);
      std::this_thread::sleep_until(submit2);
      seat.text_[2] += Piece(static_cast<int>(i), 98);
      seat.submitted_[2] = Clock::now();
      ok = ok && seat.Call("POST", "/api/candidate/submit", seat.Body(2));
      if (!ok) {
        std::lock_guard lock(figures.mutex);
        ++figures.failed_calls;
      }
    });
  }

  // The proctor's board, polled every 200 ms: when did each part's result appear? (A proctor's
  // page polls every 2 s; the whole board of 600 seats 20 times a second would measure little
  // but the board itself.)
  std::map<std::tuple<std::string, std::string, int>, Clock::time_point> scored_at;
  const auto give_up = burst_end + std::chrono::seconds(120);
  while (scored_at.size() < seats.size() * 2 && Clock::now() < give_up) {
    for (const std::string& room : rooms) {
      auto res = proctor.Get(in_room(room, "/board").c_str(), proctor_headers);
      const auto now = Clock::now();
      if (!res || res->status != 200) continue;
      const json now_board = json::parse(res->body);
      for (const json& entry : now_board["seats"]) {
        for (const json& part : entry["parts"]) {
          const auto key = std::make_tuple(room, entry["SeatNo"].get<std::string>(),
                                           part["part"].get<int>());
          if ((part["scoring"] == "scored" || part["scoring"] == "failed") &&
              !scored_at.contains(key)) {
            scored_at[key] = now;
          }
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  for (std::thread& thread : threads) thread.join();
  stop_slow = true;
  if (slow_thread.joinable()) slow_thread.join();

  // Checks: every draft as last sent, every part scored once, one row per seat with both parts.
  int lost_drafts = 0, unscored = 0;
  for (const auto& seat : seats) {
    const json detail = json::parse(
        proctor.Get(in_room(seat->Room(), "/seats/" + seat->SeatNo()).c_str(), proctor_headers)
            ->body);
    for (int part = 1; part <= 2; ++part) {
      if (detail["texts"][part - 1] != seat->text_[part]) ++lost_drafts;
      if (detail["parts"][part - 1]["scoring"] != "scored") ++unscored;
      auto found = scored_at.find({seat->Room(), seat->SeatNo(), part});
      if (found != scored_at.end()) {
        figures.results.push_back(Ms(found->second - seat->submitted_[part]));
      }
    }
  }
  std::size_t rows = 0;
  int complete_rows = 0;
  for (const std::string& room : rooms) {
    const json results =
        json::parse(proctor.Get(in_room(room, "/results").c_str(), proctor_headers)->body);
    rows += results["rows"].size();
    for (const json& row : results["rows"]) {
      // TestScore_Student: Score1 and Score2 (columns 4 and 6) both stored.
      if (row[4] != "" && row[6] != "") ++complete_rows;
    }
  }
  std::printf(
      "rooms %zu, seats %zu, slow clients %d (cut and reopened %d times), saves %zu (failed %d), "
      "other failed calls %d\n",
      rooms.size(), seats.size(), options.slow_clients, slow_cut.load(), figures.saves.size(),
      figures.failed_saves, figures.failed_calls);
  std::printf("save: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", Percentile(figures.saves, 0.5),
              Percentile(figures.saves, 0.99), Percentile(figures.saves, 1.0));
  std::printf(
      "submit to result: p50 %.0f ms, p99 %.0f ms, max %.0f ms (board polled every 200 ms)\n",
      Percentile(figures.results, 0.5), Percentile(figures.results, 0.99),
      Percentile(figures.results, 1.0));
  std::printf("lost drafts %d, parts not scored %d, rows %zu (complete %d)\n", lost_drafts,
              unscored, rows, complete_rows);
  const bool sound = lost_drafts == 0 && unscored == 0 && figures.failed_saves == 0 &&
                     figures.failed_calls == 0 && rows == seats.size() &&
                     complete_rows == static_cast<int>(seats.size());
  std::printf("%s\n", sound ? "all checks passed" : "CHECKS FAILED");
  return sound ? 0 : 1;
}
