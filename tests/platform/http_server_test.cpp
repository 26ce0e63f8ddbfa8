// The HTTP server against hostile and unlucky clients: raw sockets from loopback addresses of
// their own (all of 127.0.0.0/8 is loopback), sending slowly, too much, too many, or nothing.
#include "platform/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <latch>
#include <mutex>
#include <thread>

#include "temp_folder.h"

namespace keyin::http {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A client's socket, connected from a loopback address of its own.
class Client {
 public:
  explicit Client(int port, const std::string& from = "127.0.0.1") {
    descriptor_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.c_str(), &source.sin_addr);
    EXPECT_EQ(::bind(descriptor_, reinterpret_cast<sockaddr*>(&source), sizeof source), 0);
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
    EXPECT_EQ(::connect(descriptor_, reinterpret_cast<sockaddr*>(&server), sizeof server), 0)
        << from;
  }
  ~Client() { Close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  int Descriptor() const { return descriptor_; }
  void Close() {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = -1;
  }
  // False when the server has closed the connection.
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(descriptor_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  struct Answer {
    int status = 0;
    std::string head;
    std::string body;
  };
  // The next answer (they carry Content-Length; the answer to HEAD has no body), or nothing when
  // the connection ends first.
  std::optional<Answer> Read(std::chrono::milliseconds limit = 10s, bool to_head = false) {
    const Clock::time_point deadline = Clock::now() + limit;
    std::size_t head_end;
    while ((head_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
      if (!Fill(deadline)) return std::nullopt;
    }
    Answer answer;
    answer.head = buffer_.substr(0, head_end + 2);
    answer.status = std::stoi(answer.head.substr(9, 3));
    std::size_t length = 0;
    const std::size_t at = Lower(answer.head).find("\r\ncontent-length: ");
    if (at != std::string::npos && !to_head) length = std::stoul(answer.head.substr(at + 18));
    while (buffer_.size() < head_end + 4 + length) {
      if (!Fill(deadline)) return std::nullopt;
    }
    answer.body = buffer_.substr(head_end + 4, length);
    buffer_.erase(0, head_end + 4 + length);
    return answer;
  }
  // True when the server closes the connection (end of stream or reset) within the limit.
  bool ClosedWithin(std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    while (Fill(deadline)) buffer_.clear();
    return closed_;
  }

  static std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

 private:
  bool Fill(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd watched{descriptor_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&watched, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[65536];
    const ssize_t count = ::recv(descriptor_, chunk, sizeof chunk, 0);
    if (count <= 0) {
      closed_ = true;
      return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(count));
    return true;
  }

  int descriptor_ = -1;
  std::string buffer_;
  bool closed_ = false;
};

std::string Get(const std::string& path, const std::string& extra = "") {
  return "GET " + path + " HTTP/1.1\r\nHost: x\r\n" + extra + "\r\n";
}

// A server on a free loopback port, serving from its own thread until the test ends.
class HttpServerTest : public ::testing::Test {
 protected:
  static ServerOptions QuickOptions() {
    ServerOptions options;
    options.head_deadline = 2s;
    options.worker_threads = 2;
    options.error_page = [](int status) {
      Response page;
      page.SetHeader("Content-Type", "text/plain");
      page.body = "refused " + std::to_string(status);
      return page;
    };
    return options;
  }

  // Echoes the request: method, path, query, body, and the X-Probe header, looked up in lower
  // case whatever the client wrote.
  static void Echo(const Request& request, Response& response) {
    response.SetHeader("Content-Type", "text/plain");
    response.SetHeader("X-Remote", request.remote_address);
    response.body = request.method + " " + request.path + " ?" + request.query + " " +
                    request.HeaderValue("x-probe") + " " + request.body;
  }

  void Start(ServerOptions options = QuickOptions(), Handler handler = Echo) {
    options.log = [this](std::string_view line) {
      std::lock_guard lock(log_mutex_);
      log_.emplace_back(line);
    };
    server_ = std::make_unique<Server>(std::move(handler), std::move(options));
    const std::optional<int> port = server_->Bind("127.0.0.1", 0);
    ASSERT_TRUE(port);
    port_ = *port;
    serving_ = std::async(std::launch::async, [this] { return server_->Serve(); });
  }

  void TearDown() override {
    if (!server_) return;
    server_->Stop();
    ASSERT_EQ(serving_.wait_for(10s), std::future_status::ready) << "Serve() did not return";
    EXPECT_TRUE(serving_.get());
  }

  std::vector<std::string> Log() {
    std::lock_guard lock(log_mutex_);
    return log_;
  }

  std::unique_ptr<Server> server_;
  std::future<bool> serving_;
  int port_ = 0;
  std::mutex log_mutex_;
  std::vector<std::string> log_;
};

TEST_F(HttpServerTest, HandsTheHandlerTheWholeRequest) {
  Start();
  Client client(port_, "127.0.0.9");
  ASSERT_TRUE(client.Send(
      "POST /seats/a%20b/%E4%B8%80?x=1&y=%20 HTTP/1.1\r\nHost: x\r\nX-PROBE: shouted\r\n"
      "Content-Length: 5\r\n\r\nhello"));
  auto answer = client.Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->body, "POST /seats/a b/一 ?x=1&y=%20 shouted hello");
  EXPECT_NE(answer->head.find("X-Remote: 127.0.0.9\r\n"), std::string::npos) << answer->head;

  // Pipelined: a chunked body arrives whole, a HEAD request gets the length of the answer but no
  // body, and the answers come in order.
  ASSERT_TRUE(
      client.Send("PUT /c HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: "
                  "chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n"
                  "HEAD /d HTTP/1.1\r\nHost: x\r\n\r\n" +
                  Get("/e")));
  EXPECT_EQ(client.Read()->body, "PUT /c ?  abcde");
  answer = client.Read(10s, true);
  ASSERT_TRUE(answer);
  EXPECT_NE(answer->head.find("Content-Length: 11\r\n"), std::string::npos) << answer->head;
  EXPECT_EQ(client.Read()->body, "GET /e ?  ");  // the HEAD answer's body would show up here
}

// Every answer the server makes itself comes from the error page, and the connection ends.
TEST_F(HttpServerTest, BrokenOrOversizedRequestsGetTheErrorPageAndTheConnectionEnds) {
  ServerOptions options = QuickOptions();
  options.head_limit = 1024;
  options.body_limit = 100;
  Start(options);
  struct Case {
    const char* behaviour;
    std::string request;
    int status;
  };
  const Case cases[] = {
      {"not HTTP", "hello there\r\n\r\n", 400},
      {"a header without a colon", "GET / HTTP/1.1\r\nHost x\r\n\r\n", 400},
      {"a target that is no path", "GET x HTTP/1.1\r\nHost: x\r\n\r\n", 400},
      {"a broken escape", Get("/a%zz"), 400},
      {"an escaped NUL", Get("/a%00b"), 400},
      {"a length that is no number", "POST / HTTP/1.1\r\nContent-Length: x\r\n\r\n", 400},
      {"a head over the limit", Get("/", "X-Fill: " + std::string(2000, 'a') + "\r\n"), 431},
      {"a stated length over the limit", "POST / HTTP/1.1\r\nContent-Length: 101\r\n\r\n", 413},
      {"a chunked body over the limit",
       "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n40\r\n" + std::string(64, 'a') +
           "\r\n40\r\n" + std::string(64, 'a') + "\r\n0\r\n\r\n",
       413},
  };
  for (const Case& c : cases) {
    Client client(port_);
    ASSERT_TRUE(client.Send(c.request)) << c.behaviour;
    auto answer = client.Read();
    ASSERT_TRUE(answer) << c.behaviour;
    EXPECT_EQ(answer->status, c.status) << c.behaviour;
    EXPECT_EQ(answer->body, "refused " + std::to_string(c.status)) << c.behaviour;
    EXPECT_TRUE(client.ClosedWithin(5s)) << c.behaviour;
  }
}

// The whole body is not read first: the 413 comes as soon as the body passes the limit, and the
// connection closes long before the client has sent 50 MB.
TEST_F(HttpServerTest, AChunkedBodyOverTheLimitIsRefusedBeforeItIsAllSent) {
  Start();  // 1 MiB
  Client client(port_);
  ASSERT_TRUE(client.Send("POST /up HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"));
  const std::string chunk = "10000\r\n" + std::string(0x10000, 'a') + "\r\n";
  std::size_t sent = 0;
  std::optional<Client::Answer> answer;
  pollfd watched{client.Descriptor(), POLLIN, 0};
  while (sent < 50u << 20) {
    if (!answer && ::poll(&watched, 1, 0) == 1) answer = client.Read();
    if (!client.Send(chunk)) break;
    sent += chunk.size();
  }
  EXPECT_LT(sent, 10u << 20);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 413);
}

// 200 clients from 200 addresses send a byte of their head every 2 s. None holds one of the two
// workers: a normal request is answered at once all the while, and every slow client is cut at
// the head deadline.
TEST_F(HttpServerTest, SlowClientsHoldNoWorkerAndAreCutAtTheHeadDeadline) {
  ServerOptions options = QuickOptions();
  options.head_deadline = 3s;
  Start(options);
  std::vector<std::unique_ptr<Client>> slow;
  for (int i = 1; i <= 200; ++i) {
    slow.push_back(std::make_unique<Client>(port_, "127.0.1." + std::to_string(i)));
  }
  const Clock::time_point started = Clock::now();
  const std::string head = Get("/slow");
  for (std::size_t byte = 0; byte < 2; ++byte) {
    std::this_thread::sleep_until(started + byte * 2s);
    for (auto& client : slow) client->Send(head.substr(byte, 1));
    // The normal client, between the slow ones' bytes.
    for (int i = 0; i < 2; ++i) {
      Client normal(port_, "127.0.0.1");
      const Clock::time_point asked = Clock::now();
      ASSERT_TRUE(normal.Send(Get("/normal")));
      auto answer = normal.Read(3s);
      ASSERT_TRUE(answer);
      EXPECT_EQ(answer->status, 200);
      EXPECT_LT(Clock::now() - asked, options.head_deadline);
      std::this_thread::sleep_for(400ms);
    }
  }
  for (auto& client : slow) {
    EXPECT_TRUE(client->ClosedWithin(5s));
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_LT(Clock::now() - started, 8s);
}

TEST_F(HttpServerTest, AnIdleKeptAliveConnectionIsClosedAtTheIdleDeadline) {
  ServerOptions options = QuickOptions();
  options.idle_deadline = 500ms;
  options.head_deadline = 500ms;
  Start(options);
  Client silent(port_);
  Client kept(port_);
  ASSERT_TRUE(kept.Send(Get("/")));
  ASSERT_TRUE(kept.Read());
  const Clock::time_point answered = Clock::now();
  EXPECT_TRUE(kept.ClosedWithin(5s));
  EXPECT_GE(Clock::now() - answered, 400ms);
  EXPECT_TRUE(silent.ClosedWithin(1s));
}

// The idle wait ends with the first bytes of the next request: its head then has the whole head
// deadline, however long the connection sat idle before.
TEST_F(HttpServerTest, TheNextRequestOfAKeptAliveConnectionHasTheWholeHeadDeadline) {
  ServerOptions options = QuickOptions();
  options.idle_deadline = 1s;
  options.head_deadline = 2s;
  Start(options);
  Client kept(port_);
  ASSERT_TRUE(kept.Send(Get("/")));
  ASSERT_TRUE(kept.Read());
  std::this_thread::sleep_for(800ms);
  const std::string next = Get("/");
  ASSERT_TRUE(kept.Send(next.substr(0, 5)));
  std::this_thread::sleep_for(1500ms);  // past the idle deadline, within the head's
  ASSERT_TRUE(kept.Send(next.substr(5)));
  EXPECT_TRUE(kept.Read());
}

TEST_F(HttpServerTest, ConnectionsPerAddressAreBounded) {
  ServerOptions options = QuickOptions();
  options.connections_per_address = 3;
  options.head_deadline = 20s;
  options.idle_deadline = 20s;
  Start(options);
  std::vector<std::unique_ptr<Client>> held;
  for (int i = 0; i < 3; ++i) held.push_back(std::make_unique<Client>(port_, "127.0.0.5"));
  ASSERT_TRUE(held[0]->Send(Get("/")));
  ASSERT_TRUE(held[0]->Read());  // all three are in by now: accepted in order

  for (int i = 0; i < 5; ++i) {
    Client over(port_, "127.0.0.5");
    auto answer = over.Read();
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 503);
    EXPECT_EQ(answer->body, "refused 503");
    EXPECT_NE(answer->head.find("Retry-After: "), std::string::npos) << answer->head;
    EXPECT_TRUE(over.ClosedWithin(5s));
  }
  // Another address is served; one of the three closing makes room.
  Client other(port_, "127.0.0.6");
  ASSERT_TRUE(other.Send(Get("/")));
  EXPECT_EQ(other.Read()->status, 200);
  held[1]->Close();
  std::optional<Client::Answer> answer;
  for (int attempt = 0; attempt < 50; ++attempt) {
    Client again(port_, "127.0.0.5");
    again.Send(Get("/"));
    answer = again.Read();
    if (answer && answer->status == 200) break;
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  // Five refusals in a moment make one line.
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("127.0.0.5"), std::string::npos) << log[0];
}

TEST_F(HttpServerTest, AllConnectionsTogetherAreBounded) {
  ServerOptions options = QuickOptions();
  options.connection_limit = 2;
  options.head_deadline = 20s;
  options.idle_deadline = 20s;
  Start(options);
  Client first(port_, "127.0.0.7"), second(port_, "127.0.0.8");
  ASSERT_TRUE(second.Send(Get("/")));
  ASSERT_TRUE(second.Read());
  Client third(port_, "127.0.0.9");
  auto answer = third.Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 503);
  EXPECT_TRUE(third.ClosedWithin(5s));
}

// The process's sockets whose own port is `port`: the server's, listening and accepted.
std::vector<int> SocketsOnPort(int port) {
  std::vector<int> found;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int descriptor = std::stoi(entry.path().filename().string());
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        local.sin_family == AF_INET && ntohs(local.sin_port) == port) {
      found.push_back(descriptor);
    }
  }
  return found;
}

int SocketOption(int descriptor, int level, int name) {
  int value = -1;
  socklen_t length = sizeof value;
  ::getsockopt(descriptor, level, name, &value, &length);
  return value;
}

TEST_F(HttpServerTest, EverySocketIsCloseOnExecAndEveryConnectionHasNoDelay) {
  Start();
  Client client(port_);
  ASSERT_TRUE(client.Send(Get("/")));
  ASSERT_TRUE(client.Read());
  const std::vector<int> sockets = SocketsOnPort(port_);
  ASSERT_EQ(sockets.size(), 2u);  // the listening socket and the client's connection
  for (int socket : sockets) {
    EXPECT_NE(::fcntl(socket, F_GETFD) & FD_CLOEXEC, 0);
    if (SocketOption(socket, SOL_SOCKET, SO_ACCEPTCONN) == 1) {
      EXPECT_EQ(SocketOption(socket, SOL_SOCKET, SO_REUSEPORT), 0);
    } else {
      EXPECT_EQ(SocketOption(socket, IPPROTO_TCP, TCP_NODELAY), 1);
    }
  }
}

TEST_F(HttpServerTest, StopLetsARunningHandlerFinishAndClosesIdleConnections) {
  std::latch entered(1), release(1);
  Start(QuickOptions(), [&](const Request& request, Response& response) {
    entered.count_down();
    release.wait();
    Echo(request, response);
  });
  Client idle(port_, "127.0.0.2");
  Client busy(port_, "127.0.0.3");
  ASSERT_TRUE(busy.Send(Get("/busy")));
  entered.wait();
  server_->Stop();
  EXPECT_TRUE(idle.ClosedWithin(1s));
  EXPECT_EQ(serving_.wait_for(200ms), std::future_status::timeout);
  release.count_down();
  auto answer = busy.Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->body, "GET /busy ?  ");
  EXPECT_NE(answer->head.find("Connection: close"), std::string::npos) << answer->head;
}

TEST_F(HttpServerTest, AHandlerThatThrowsGivesThe500PageAndALogLine) {
  Start(QuickOptions(), [](const Request&, Response&) {
    throw std::runtime_error("cannot write /srv/secret/seat.json");
  });
  Client client(port_);
  ASSERT_TRUE(client.Send(Get("/x")));
  auto answer = client.Read();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 500);
  EXPECT_EQ(answer->body, "refused 500");
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_NE(Log()[0].find("/srv/secret/seat.json"), std::string::npos);
}

// Out of descriptors, the accepting thread waits instead of trying the same connection again and
// again; once descriptors are free the waiting connections are served.
TEST_F(HttpServerTest, AnAcceptWithoutDescriptorsDoesNotSpin) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers' runtime opens a pipe to check a type or print memory; without descriptors
  // it reports sound objects as broken. The normal build runs this test.
  GTEST_SKIP() << "needs descriptors the sanitizers' runtime would lack";
#endif
  Start();
  {
    // Every thread of the server runs before descriptors run out.
    Client first(port_);
    ASSERT_TRUE(first.Send(Get("/")));
    ASSERT_TRUE(first.Read());
  }
  std::vector<int> sockets;
  for (int i = 0; i < 5; ++i) sockets.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(*std::max_element(sockets.begin(), sockets.end()) + 1);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  sockaddr_in server{};
  server.sin_family = AF_INET;
  server.sin_port = htons(static_cast<std::uint16_t>(port_));
  ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
  for (int socket : sockets) {
    ASSERT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&server), sizeof server), 0);
  }
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  std::this_thread::sleep_for(1s);
  ::getrusage(RUSAGE_SELF, &after);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  const auto cpu = [](const rusage& usage) {
    return std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
  };
  // A spinning thread would burn the whole second.
  EXPECT_LT(cpu(after) - cpu(before), 300ms);
  EXPECT_LE(Log().size(), 1u);
  for (int socket : sockets) {
    const std::string request = Get("/late");
    ASSERT_EQ(::send(socket, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    pollfd watched{socket, POLLIN, 0};
    EXPECT_EQ(::poll(&watched, 1, 5000), 1);
    char first[12] = {};
    EXPECT_EQ(::recv(socket, first, sizeof first, 0), 12);
    EXPECT_EQ(std::string(first, 12), "HTTP/1.1 200");
    ::close(socket);
  }
}

// TLS: a self-signed certificate made for the test.
class HttpsServerTest : public TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    ASSERT_EQ(std::system(("openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 1 "
                           "-keyout " +
                           Path("key.pem") + " -out " + Path("cert.pem") + " 2>/dev/null")
                              .c_str()),
              0);
  }
};

TEST_F(HttpsServerTest, ACertificateOrKeyThatCannotBeUsedIsNamed) {
  std::ofstream(Path("other.pem")) << "not a key";
  struct Case {
    std::string certificate, key, named;
  };
  const Case cases[] = {{Path("missing.pem"), Path("key.pem"), Path("missing.pem")},
                        {Path("cert.pem"), Path("other.pem"), Path("other.pem")},
                        {Path("cert.pem"), "", "key"}};
  for (const Case& c : cases) {
    ServerOptions options;
    options.tls_certificate = c.certificate;
    options.tls_key = c.key;
    try {
      Server server([](const Request&, Response&) {}, options);
      ADD_FAILURE() << "no error for " << c.certificate << " with " << c.key;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.named), std::string::npos) << error.what();
    }
  }
}

// Serving HTTPS itself: ServerTest.ServesHttpsWithSecureCookiesWhenGivenACertificate.
TEST_F(HttpsServerTest, ATlsPortAnswersNoPlainHttpAndCutsASilentClient) {
  ServerOptions options;
  options.head_deadline = 1s;
  options.tls_certificate = Path("cert.pem");
  options.tls_key = Path("key.pem");
  Server server([](const Request&, Response&) {}, options);
  const std::optional<int> port = server.Bind("127.0.0.1", 0);
  ASSERT_TRUE(port);
  auto serving = std::async(std::launch::async, [&] { return server.Serve(); });
  Client plain(*port);
  ASSERT_TRUE(plain.Send(Get("/")));
  EXPECT_FALSE(plain.Read(3s));
  // The handshake falls under the head deadline.
  Client silent(*port);
  EXPECT_TRUE(silent.ClosedWithin(3s));

  server.Stop();
  ASSERT_EQ(serving.wait_for(10s), std::future_status::ready);
}

TEST(Request, QueryValueDecodesTheFirstParameterOfTheName) {
  Request req;
  req.query = "a=1&text=http%3A%2F%2Fx%2F+y&text=second&empty=&bare&broken=%4";
  struct Case {
    const char* name;
    std::optional<std::string> value;
  };
  const Case cases[] = {{"text", "http://x/ y"},
                        {"a", "1"},
                        {"empty", ""},
                        {"bare", ""},
                        {"missing", std::nullopt},
                        {"broken", std::nullopt},
                        {"tex", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(req.QueryValue(c.name), c.value) << c.name;
}

}  // namespace
}  // namespace keyin::http
