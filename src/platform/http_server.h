// An HTTP/1.1 server that slow or hostile clients cannot stall. Two threads do every socket's I/O,
// event-driven; handlers run on a separate pool of workers and see a whole request, so a client
// that sends slowly, or sits idle, holds its connection and nothing else. The bounds, with their
// defaults (ServerOptions):
//   - idle:  a kept-alive connection whose next request has not begun 2 s after its last
//            answer is closed: well before a page's next save every 5 s, which then opens a new
//            connection instead of meeting this one as it closes.
//   - head:  the request head (and before it the TLS handshake) must be in within 5 s of the
//            server starting to wait for it (on a kept-alive connection, of its first bytes); at
//            most 16 KiB, else 431. A malformed head gets 400.
//   - body:  in within 30 s; over 1 MiB gets 413 as soon as its length says so, or for a chunked
//            body as soon as it passes the limit, and the connection is closed.
//   - connections: 64 per remote address, 4,096 in all (never more than the descriptor limit
//            allows); one more gets a short 503 with Retry-After and is closed.
// Answers on a connection go in the order of its requests, pipelined ones included. Every socket
// is close-on-exec and every connection has TCP_NODELAY. The port is bound exclusively (a busy
// port makes Bind fail). Stop() may come at any time, before Serve() too; handlers running then
// finish and their answers are sent.
//
//   keyin::http::Server server([](const Request& request, Response& response) { ... }, options);
//   std::optional<int> port = server.Bind("127.0.0.1", 0);
//   server.Serve();  // until Stop(), from any thread
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyin::http {

struct Header {
  std::string name;
  std::string value;
};

struct Request {
  std::string method;           // as sent: "GET", "POST", ...
  std::string path;             // percent-decoded, without the query; always starts with '/'
  std::string query;            // what follows '?', as sent
  std::vector<Header> headers;  // as sent, in order
  std::string body;
  std::string remote_address;  // "127.0.0.1", "::1"

  // The value of the first header of that name (names compare case-insensitively); empty when
  // there is none.
  std::string HeaderValue(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
  // The value of the first query parameter of that name, decoded ("+" and %XX); nothing when
  // there is none or its escapes are broken.
  std::optional<std::string> QueryValue(std::string_view name) const;
};

struct Response {
  int status = 200;
  std::vector<Header> headers;
  std::string body;

  // Replaces every header of that name. The server refuses (500) an answer whose header holds a
  // line break.
  void SetHeader(std::string_view name, std::string value);
  std::string HeaderValue(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// Answers one request. It may block (disk writes); an exception it throws becomes a 500.
using Handler = std::function<void(const Request&, Response&)>;
// The answer for a status the server gives itself: 400, 413, 431, 500, 503. Content-Length,
// Connection and Retry-After are the server's.
using ErrorPage = std::function<Response(int status)>;
// One line about a refused connection or a failure, without a line end.
using LogLine = std::function<void(std::string_view line)>;

struct ServerOptions {
  std::chrono::milliseconds idle_deadline{2000};
  std::chrono::milliseconds head_deadline{5000};
  std::chrono::milliseconds body_deadline{30000};
  std::chrono::milliseconds write_deadline{30000};  // a client that does not read its answer
  std::size_t head_limit = 16 * 1024;
  std::size_t body_limit = 1 << 20;
  std::size_t connections_per_address = 64;
  std::size_t connection_limit = 4096;
  int io_threads = 2;
  int worker_threads = 32;
  // Both given: HTTPS only (TLS 1.2 or later). Both empty: plain HTTP.
  std::string tls_certificate;  // PEM, the certificate chain
  std::string tls_key;          // PEM
  ErrorPage error_page;         // default: the status's reason as plain text
  // Refusals of connections and failures of accept, at most one line of each kind every 10 s
  // (saying how many it stands for), and every handler's exception. Default: no log.
  LogLine log;
};

class Server {
 public:
  // Raises the soft limit of open descriptors to the hard limit. Throws std::runtime_error naming
  // the file when the TLS certificate or key cannot be read or do not belong together.
  Server(Handler handler, ServerOptions options);
  // Stop() and let Serve() return before the server goes.
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Listens on host (an address or a name; port 0 picks a free port) with a queue of 1,024.
  // Returns the port, or nothing when the address cannot be had (in use, not ours).
  std::optional<int> Bind(const std::string& host, int port);
  // Serves until Stop(), then lets running handlers finish and returns true. Returns at once
  // when Stop() came first; false when not bound.
  bool Serve();
  // Thread-safe, sticky, and never waits.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace keyin::http
