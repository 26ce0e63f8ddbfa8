// The server on Boost.Beast and Asio. One acceptor and one Connection per socket, all on one
// io_context that io_threads threads run; each connection's steps run on its own strand, so a
// connection is single-threaded while connections run in parallel. A connection reads one request
// (the head under the head deadline, the body under the body deadline, both counted by Beast's
// parser as bytes arrive), hands the whole request to the worker pool, writes the answer, and
// only then reads the next request: pipelined requests wait in its read buffer and are answered
// in order.
//
// What keeps the bounds cheap: each is one deadline or one counter, checked where the work
// happens. beast::tcp_stream closes a socket whose deadline passes, whatever the client sends; the
// counts per address are taken once, at accept, and given back when the connection goes.
#include "platform/http_server.h"

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace keyin::http {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
using tcp = net::ip::tcp;
using error_code = boost::system::error_code;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kListenBacklog = 1024;
// A connection being closed reads what the client still sends and throws it away, so that unread
// bytes do not turn the close into a reset that destroys the answer before the client reads it:
// a client that sends a whole body over the limit before it reads still gets its 413. Until the
// client closes, for at most this long and this much.
constexpr std::chrono::milliseconds kCloseDeadline{2000};
constexpr std::size_t kDrainLimit = 4 << 20;
// What an idle connection reads at once when its next request begins.
constexpr std::size_t kFirstBytes = 4096;
// Accepting again after running out of descriptors or memory: the connection waits in the
// queue meanwhile, where accepting it at once would fail again and spin.
constexpr std::chrono::milliseconds kAcceptBackoff{100};
constexpr int kAcceptBatch = 64;
// Descriptors kept for everything else the process opens (files, pipes, the database).
constexpr rlim_t kDescriptorReserve = 64;
constexpr char kRetryAfterSeconds[] = "5";
constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
constexpr std::chrono::seconds kLogInterval{10};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

const Header* FindHeader(const std::vector<Header>& headers, std::string_view name) {
  for (const Header& header : headers) {
    if (EqualsIgnoringCase(header.name, name)) return &header;
  }
  return nullptr;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path with every %XX replaced by its byte; nothing for a broken escape or a NUL byte.
std::optional<std::string> DecodedPath(std::string_view text) {
  std::string path;
  path.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      path += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

// A line for the log: control characters (a decoded path may hold a line end) become blanks.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string AddressText(const net::ip::address& address) {
  if (address.is_v6() && address.to_v6().is_v4_mapped()) {
    return net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6()).to_string();
  }
  return address.to_string();
}

// The soft limit of open descriptors, raised to the hard limit: every connection is one.
std::size_t RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur == RLIM_INFINITY) return std::numeric_limits<std::size_t>::max();
  return static_cast<std::size_t>(limit.rlim_cur);
}

Response DefaultErrorPage(int status) {
  Response page;
  page.SetHeader("Content-Type", "text/plain; charset=utf-8");
  page.body = std::to_string(status) + " " +
              std::string(bhttp::obsolete_reason(static_cast<bhttp::status>(status))) + "\n";
  return page;
}

using BeastResponse = bhttp::response<bhttp::string_body>;

// The answer as Beast writes it; nothing for a status outside 200 to 599, a header that could
// split the answer, or a body where the status allows none. Length, Connection and
// Transfer-Encoding are the server's own.
std::optional<BeastResponse> ToBeast(Response response, unsigned version, bool keep_alive,
                                     bool head_only) try {
  if (response.status < 200 || response.status > 599) return std::nullopt;
  BeastResponse out;
  out.version(version);
  out.result(static_cast<unsigned>(response.status));
  for (const Header& header : response.headers) {
    if (header.name.empty() || HoldsLineBreak(header.name) || HoldsLineBreak(header.value) ||
        header.name.find(':') != std::string::npos) {
      return std::nullopt;
    }
    if (EqualsIgnoringCase(header.name, "Content-Length") ||
        EqualsIgnoringCase(header.name, "Transfer-Encoding") ||
        EqualsIgnoringCase(header.name, "Connection")) {
      continue;
    }
    out.insert(header.name, header.value);
  }
  out.body() = std::move(response.body);
  out.keep_alive(keep_alive);
  out.prepare_payload();
  if (head_only) {
    // The length of the answer a GET would have had, without its body.
    const std::size_t length = out.body().size();
    out.body().clear();
    out.content_length(length);
  }
  return out;
} catch (const std::exception&) {
  return std::nullopt;
}

std::string Serialized(BeastResponse& response) {
  std::ostringstream text;
  text << response;
  return text.str();
}

// At most one line of each kind every kLogInterval; a line says how many it stands for.
class ThrottledLog {
 public:
  enum Kind { kTooManyFromAddress, kTooManyConnections, kAcceptFailed, kKinds };

  explicit ThrottledLog(LogLine log) : log_(std::move(log)) {}

  void Note(Kind kind, const std::string& line) {
    if (!log_) return;
    std::unique_lock lock(mutex_);
    Entry& entry = entries_[kind];
    ++entry.count;
    const Clock::time_point now = Clock::now();
    if (entry.logged && now - entry.last < kLogInterval) return;
    std::string text = line;
    if (entry.count > 1) {
      text += " (" + std::to_string(entry.count) + " times since the last such line)";
    }
    entry = {true, now, 0};
    lock.unlock();
    log_(OneLine(std::move(text)));
  }

 private:
  struct Entry {
    bool logged = false;
    Clock::time_point last;
    std::size_t count = 0;  // events since the last line, this one included
  };
  LogLine log_;
  std::mutex mutex_;
  Entry entries_[kKinds];
};

}  // namespace

std::string Request::HeaderValue(std::string_view name) const {
  const Header* header = FindHeader(headers, name);
  return header ? header->value : std::string();
}

bool Request::HasHeader(std::string_view name) const {
  return FindHeader(headers, name) != nullptr;
}

std::optional<std::string> Request::QueryValue(std::string_view name) const {
  std::string_view rest = query;
  while (!rest.empty()) {
    const std::size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    const std::size_t equals = pair.find('=');
    if (pair.substr(0, equals) != name) continue;
    std::string value(equals == std::string_view::npos ? std::string_view()
                                                       : pair.substr(equals + 1));
    std::replace(value.begin(), value.end(), '+', ' ');
    return DecodedPath(value);
  }
  return std::nullopt;
}

void Response::SetHeader(std::string_view name, std::string value) {
  std::erase_if(headers,
                [&](const Header& header) { return EqualsIgnoringCase(header.name, name); });
  headers.push_back({std::string(name), std::move(value)});
}

std::string Response::HeaderValue(std::string_view name) const {
  const Header* header = FindHeader(headers, name);
  return header ? header->value : std::string();
}

bool Response::HasHeader(std::string_view name) const {
  return FindHeader(headers, name) != nullptr;
}

class ConnectionBase;

struct ServerCore {
  ServerCore(Handler request_handler, ServerOptions server_options);
  ~ServerCore();

  std::optional<int> Bind(const std::string& host, int port);
  bool Serve();
  void Stop();

  void Accept();
  // Accepts again after a pause: what failed would fail again at once.
  void AcceptLater(const std::string& reason);
  void Admit(int descriptor);
  void Shutdown();
  // The handler's answer; its exception becomes a 500.
  Response Answer(const Request& request);
  Response ErrorAnswer(int status);
  void Log(const std::string& line) {
    if (options.log) options.log(OneLine(line));
  }

  Handler handler;
  ServerOptions options;
  std::size_t connection_limit = 0;  // options.connection_limit within the descriptor limit
  ThrottledLog refusals;
  // The 503 for a connection over a bound, and the same written out for a connection refused
  // before it is one.
  BeastResponse refusal;
  std::string refusal_bytes;

  std::mutex mutex;  // guards what follows up to `connections`
  bool bound = false;
  bool stop_requested = false;
  std::size_t open_connections = 0;  // refused ones included, until they are closed
  std::unordered_map<std::string, std::size_t> per_address;
  std::unordered_set<ConnectionBase*> connections;
  std::atomic<bool> stopping{false};  // what the connections read

  std::optional<net::ssl::context> tls;
  // The io_context after what its connections use, so that the connections it still holds when
  // it goes find the counts and the TLS context there.
  net::io_context io;
  net::strand<net::io_context::executor_type> accept_strand{io.get_executor()};
  tcp::acceptor acceptor{accept_strand};
  net::steady_timer backoff{accept_strand};
  tcp protocol = tcp::v4();
  // Last, so that it goes first: a handler it still holds keeps work of the io_context.
  net::thread_pool workers;
};

// A connection as the server counts it: registered while it lives, its counts given back when it
// goes.
class ConnectionBase : public std::enable_shared_from_this<ConnectionBase> {
 public:
  ConnectionBase(ServerCore& server, std::string address, bool counted_for_address)
      : server_(server), address_(std::move(address)), counted_for_address_(counted_for_address) {
    std::lock_guard lock(server_.mutex);
    server_.connections.insert(this);
  }
  virtual ~ConnectionBase() {
    std::lock_guard lock(server_.mutex);
    server_.connections.erase(this);
    --server_.open_connections;
    if (counted_for_address_) {
      auto found = server_.per_address.find(address_);
      if (--found->second == 0) server_.per_address.erase(found);
    }
  }
  ConnectionBase(const ConnectionBase&) = delete;
  ConnectionBase& operator=(const ConnectionBase&) = delete;

  // Closes the connection if it waits for a request; one that is being answered closes once the
  // answer is written.
  virtual void RequestStop() = 0;

 protected:
  ServerCore& server_;
  const std::string address_;

 private:
  const bool counted_for_address_;
};

namespace {

template <class Stream>
constexpr bool kIsTls = !std::is_same_v<Stream, beast::tcp_stream>;

template <class Stream>
class Connection final : public ConnectionBase {
 public:
  // refuse: the connection is over the bound for its address; it gets the 503 and nothing else.
  Connection(ServerCore& server, std::string address, bool refuse, tcp::socket socket)
      : ConnectionBase(server, std::move(address), !refuse),
        refuse_(refuse),
        stream_(MakeStream(std::move(socket), server)),
        executor_(stream_.get_executor()) {}

  void Start() {
    net::dispatch(executor_, [self = Self()] { self->Begin(); });
  }

  void RequestStop() override {
    net::post(executor_, [self = Self()] {
      if (self->step_ == Step::kHandshake || self->step_ == Step::kIdle ||
          self->step_ == Step::kHead || self->step_ == Step::kBody) {
        self->Close();
      }
    });
  }

 private:
  enum class Step { kStart, kHandshake, kIdle, kHead, kBody, kHandler, kWrite, kClosing, kClosed };

  static Stream MakeStream(tcp::socket socket, ServerCore& server) {
    if constexpr (kIsTls<Stream>) {
      return Stream(std::move(socket), *server.tls);
    } else {
      return Stream(std::move(socket));
    }
  }

  std::shared_ptr<Connection> Self() {
    return std::static_pointer_cast<Connection>(shared_from_this());
  }
  beast::tcp_stream& Tcp() { return beast::get_lowest_layer(stream_); }

  void Begin() {
    if (server_.stopping) return Close();
    // The deadline of the first head covers the TLS handshake too.
    Tcp().expires_after(server_.options.head_deadline);
    if constexpr (kIsTls<Stream>) {
      step_ = Step::kHandshake;
      stream_.async_handshake(net::ssl::stream_base::server, [self = Self()](error_code error) {
        if (error) return self->Close();
        self->AfterHandshake();
      });
    } else {
      AfterHandshake();
    }
  }

  void AfterHandshake() {
    if (refuse_) return WriteAnswer(server_.refusal);
    ReadHead();
  }

  void ReadHead() {
    step_ = Step::kHead;
    parser_.emplace();
    parser_->header_limit(static_cast<std::uint32_t>(server_.options.head_limit));
    parser_->body_limit(server_.options.body_limit);
    bhttp::async_read_header(stream_, buffer_, *parser_,
                             [self = Self()](error_code error, std::size_t) {
                               if (error) return self->AfterReadFailed(error);
                               self->AfterHead();
                             });
  }

  void AfterHead() {
    Tcp().expires_after(server_.options.body_deadline);
    if (parser_->is_done()) return Dispatch();
    step_ = Step::kBody;
    if (EqualsIgnoringCase(parser_->get()[bhttp::field::expect], "100-continue")) {
      net::async_write(stream_, net::buffer(kContinue, sizeof kContinue - 1),
                       [self = Self()](error_code error, std::size_t) {
                         if (error) return self->Close();
                         self->ReadBody();
                       });
      return;
    }
    ReadBody();
  }

  void ReadBody() {
    bhttp::async_read(stream_, buffer_, *parser_, [self = Self()](error_code error, std::size_t) {
      if (error) return self->AfterReadFailed(error);
      self->Dispatch();
    });
  }

  // A read that failed: answered when the client broke a rule, closed when it went or was late.
  void AfterReadFailed(error_code error) {
    if (error == bhttp::error::header_limit || error == bhttp::error::buffer_overflow) {
      return WriteError(431);
    }
    if (error == bhttp::error::body_limit) return WriteError(413);
    if (error.category() == bhttp::make_error_code(bhttp::error::bad_method).category() &&
        error != bhttp::error::end_of_stream && error != bhttp::error::partial_message) {
      return WriteError(400);
    }
    Close();
  }

  void WriteError(int status) {
    Response page = server_.ErrorAnswer(status);
    WriteAnswer(ToBeast(std::move(page), 11, false, false));
  }

  void Dispatch() {
    bhttp::request<bhttp::string_body> message = parser_->release();
    parser_.reset();
    const std::string_view target = message.target();
    const std::size_t question = target.find('?');
    std::optional<std::string> path;
    if (target.starts_with('/')) path = DecodedPath(target.substr(0, question));
    if (!path) return WriteError(400);

    Request request;
    request.method = std::string(message.method_string());
    request.path = std::move(*path);
    if (question != std::string_view::npos) request.query = target.substr(question + 1);
    for (const auto& field : message) {
      request.headers.push_back({std::string(field.name_string()), std::string(field.value())});
    }
    request.body = std::move(message.body());
    request.remote_address = address_;
    version_ = message.version();
    keep_alive_ = message.keep_alive();
    head_only_ = request.method == "HEAD";

    step_ = Step::kHandler;
    // The io_context must not run out of work while the only thing left is this handler.
    auto work = net::make_work_guard(executor_);
    net::post(server_.workers, [self = Self(), work = std::move(work),
                                request = std::move(request)]() mutable {
      Response response = self->server_.Answer(request);
      net::post(self->executor_, [self, response = std::move(response)]() mutable {
        self->WriteAnswer(ToBeast(std::move(response), self->version_,
                                  self->keep_alive_ && !self->server_.stopping, self->head_only_));
      });
    });
  }

  // Writes the answer (a 500 in its place when it cannot be written as it is), then reads the
  // next request or closes.
  void WriteAnswer(std::optional<BeastResponse> answer) {
    if (!answer) {
      server_.Log("an answer that cannot be sent as it is was replaced by a 500");
      answer = ToBeast(server_.ErrorAnswer(500), version_, false, false);
    }
    answer_ = std::move(*answer);
    step_ = Step::kWrite;
    Tcp().expires_after(server_.options.write_deadline);
    bhttp::async_write(stream_, *answer_, [self = Self()](error_code error, std::size_t) {
      if (error) return self->Close();
      const bool keep_alive = self->answer_->keep_alive();
      self->answer_.reset();
      if (!keep_alive || self->server_.stopping) return self->CloseGracefully();
      self->AwaitNextRequest();
    });
  }

  // A kept-alive connection waits for the first bytes of its next request at most the idle
  // deadline (a pipelined request is there already); then its head has the head deadline.
  void AwaitNextRequest() {
    if (buffer_.size() > 0) {
      Tcp().expires_after(server_.options.head_deadline);
      return ReadHead();
    }
    step_ = Step::kIdle;
    Tcp().expires_after(server_.options.idle_deadline);
    stream_.async_read_some(buffer_.prepare(kFirstBytes),
                            [self = Self()](error_code error, std::size_t count) {
                              if (error) return self->Close();
                              self->buffer_.commit(count);
                              self->Tcp().expires_after(self->server_.options.head_deadline);
                              self->ReadHead();
                            });
  }

  // The answer is out; the client gets an orderly end of the stream.
  void CloseGracefully() {
    step_ = Step::kClosing;
    Tcp().expires_after(kCloseDeadline);
    if constexpr (kIsTls<Stream>) {
      stream_.async_shutdown([self = Self()](error_code) { self->Close(); });
    } else {
      error_code ignored;
      Tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
      Drain();
    }
  }

  void Drain() {
    buffer_.clear();
    stream_.async_read_some(buffer_.prepare(8192),
                            [self = Self()](error_code error, std::size_t count) {
                              self->drained_ += count;
                              if (error || self->drained_ >= kDrainLimit) return self->Close();
                              self->Drain();
                            });
  }

  void Close() {
    if (step_ == Step::kClosed) return;
    step_ = Step::kClosed;
    error_code ignored;
    Tcp().socket().shutdown(tcp::socket::shutdown_both, ignored);
    Tcp().close();
  }

  const bool refuse_;
  Stream stream_;
  const net::any_io_executor executor_;  // the connection's strand
  Step step_ = Step::kStart;
  beast::flat_buffer buffer_;
  std::optional<bhttp::request_parser<bhttp::string_body>> parser_;
  std::optional<BeastResponse> answer_;
  unsigned version_ = 11;
  bool keep_alive_ = false;
  bool head_only_ = false;
  std::size_t drained_ = 0;
};

}  // namespace

ServerCore::ServerCore(Handler request_handler, ServerOptions server_options)
    : handler(std::move(request_handler)),
      options(std::move(server_options)),
      refusals(options.log),
      workers(static_cast<std::size_t>(std::max(1, options.worker_threads))) {
  const std::size_t descriptors = RaiseDescriptorLimit();
  const std::size_t usable =
      descriptors > 2 * kDescriptorReserve ? descriptors - kDescriptorReserve : descriptors / 2;
  connection_limit = std::min(options.connection_limit, usable);
  options.io_threads = std::max(1, options.io_threads);

  if (options.tls_certificate.empty() != options.tls_key.empty()) {
    throw std::runtime_error("a TLS certificate needs its key, and a key its certificate");
  }
  if (!options.tls_certificate.empty()) {
    tls.emplace(net::ssl::context::tls_server);
    tls->set_options(net::ssl::context::default_workarounds | net::ssl::context::no_sslv2 |
                     net::ssl::context::no_sslv3 | net::ssl::context::no_tlsv1 |
                     net::ssl::context::no_tlsv1_1);
    error_code error;
    tls->use_certificate_chain_file(options.tls_certificate, error);
    if (error) {
      throw std::runtime_error("cannot use the TLS certificate " + options.tls_certificate + ": " +
                               error.message());
    }
    tls->use_private_key_file(options.tls_key, net::ssl::context::pem, error);
    if (error || SSL_CTX_check_private_key(tls->native_handle()) != 1) {
      throw std::runtime_error("cannot use the TLS key " + options.tls_key +
                               " with the certificate " + options.tls_certificate +
                               (error ? ": " + error.message() : ": they do not belong together"));
    }
  }

  std::optional<BeastResponse> answer = ToBeast(ErrorAnswer(503), 11, false, false);
  if (!answer) answer = ToBeast(DefaultErrorPage(503), 11, false, false);
  refusal = std::move(*answer);
  refusal.set(bhttp::field::retry_after, kRetryAfterSeconds);
  refusal_bytes = Serialized(refusal);
}

ServerCore::~ServerCore() {
  workers.stop();
  workers.join();
}

Response ServerCore::ErrorAnswer(int status) {
  Response page;
  try {
    page = options.error_page ? options.error_page(status) : DefaultErrorPage(status);
  } catch (const std::exception&) {
    page = DefaultErrorPage(status);
  }
  page.status = status;
  return page;
}

Response ServerCore::Answer(const Request& request) {
  Response response;
  try {
    handler(request, response);
    return response;
  } catch (const std::exception& failure) {
    Log(request.method + " " + request.path + " failed: " + failure.what());
  } catch (...) {
    Log(request.method + " " + request.path + " failed");
  }
  return ErrorAnswer(500);
}

std::optional<int> ServerCore::Bind(const std::string& host, int port) {
  {
    std::lock_guard lock(mutex);
    if (bound || port < 0 || port > 65535) return std::nullopt;
  }
  std::string name = host;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
    name = name.substr(1, name.size() - 2);
  }
  error_code error;
  net::ip::address address = net::ip::make_address(name, error);
  if (error) {
    tcp::resolver resolver(io);
    const tcp::resolver::results_type found = resolver.resolve(name, "", error);
    if (error || found.empty()) return std::nullopt;
    address = found.begin()->endpoint().address();
  }
  const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
  // Close-on-exec from the start: the server starts child processes from other threads.
  const int descriptor =
      ::socket(endpoint.protocol().family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (descriptor < 0) return std::nullopt;
  acceptor.assign(endpoint.protocol(), descriptor, error);
  if (error) {
    ::close(descriptor);
    return std::nullopt;
  }
  // SO_REUSEADDR lets a restarted server listen while the old one's connections linger in
  // TIME_WAIT; it never lets two servers listen on one port. SO_REUSEPORT would, and the kernel
  // would split the connections between them: it stays off.
  acceptor.set_option(tcp::acceptor::reuse_address(true), error);
  if (!error) acceptor.bind(endpoint, error);
  if (!error) acceptor.listen(kListenBacklog, error);
  if (!error) acceptor.non_blocking(true, error);
  if (error) {
    acceptor.close(error);
    return std::nullopt;
  }
  const int bound_port = acceptor.local_endpoint(error).port();
  protocol = endpoint.protocol();
  std::lock_guard lock(mutex);
  bound = true;
  return bound_port;
}

bool ServerCore::Serve() {
  {
    std::lock_guard lock(mutex);
    if (!bound) return false;
    if (stop_requested) return true;
  }
  net::post(accept_strand, [this] { Accept(); });
  std::vector<std::thread> threads;
  for (int i = 1; i < options.io_threads; ++i) threads.emplace_back([this] { io.run(); });
  io.run();
  for (std::thread& thread : threads) thread.join();
  // Every handler posted its answer before the io_context could run out of work.
  workers.join();
  return true;
}

void ServerCore::Stop() {
  {
    std::lock_guard lock(mutex);
    if (stop_requested) return;
    stop_requested = true;
  }
  stopping = true;
  net::post(accept_strand, [this] { Shutdown(); });
}

void ServerCore::Shutdown() {
  error_code ignored;
  acceptor.close(ignored);
  backoff.cancel();
  std::vector<std::shared_ptr<ConnectionBase>> live;
  {
    std::lock_guard lock(mutex);
    for (ConnectionBase* connection : connections) {
      // One whose last owner is gone waits on the mutex to unregister: it needs nothing.
      if (std::shared_ptr<ConnectionBase> owned = connection->weak_from_this().lock()) {
        live.push_back(std::move(owned));
      }
    }
  }
  for (const std::shared_ptr<ConnectionBase>& connection : live) connection->RequestStop();
}

void ServerCore::Accept() {
  if (stopping) return;
  acceptor.async_wait(tcp::acceptor::wait_read, [this](error_code error) {
    if (error == net::error::operation_aborted || stopping) return;
    if (error) return AcceptLater("cannot wait for a connection: " + error.message());
    for (int i = 0; i < kAcceptBatch; ++i) {
      const int descriptor =
          ::accept4(acceptor.native_handle(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (descriptor >= 0) {
        Admit(descriptor);
        continue;
      }
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      // The connection failed, not the listening socket.
      if (errno == EINTR || errno == ECONNABORTED || errno == EPROTO || errno == ENETDOWN ||
          errno == ENOPROTOOPT || errno == EHOSTDOWN || errno == ENONET || errno == EHOSTUNREACH ||
          errno == EOPNOTSUPP || errno == ENETUNREACH) {
        continue;
      }
      // Out of descriptors or memory: the connection waits in the queue meanwhile.
      return AcceptLater(std::string("cannot accept a connection: ") + std::strerror(errno));
    }
    Accept();
  });
}

void ServerCore::AcceptLater(const std::string& reason) {
  refusals.Note(ThrottledLog::kAcceptFailed, reason);
  backoff.expires_after(kAcceptBackoff);
  backoff.async_wait([this](error_code error) {
    if (!error) Accept();
  });
}

void ServerCore::Admit(int descriptor) {
  tcp::socket socket(net::make_strand(io));
  error_code error;
  socket.assign(protocol, descriptor, error);
  if (error) {
    ::close(descriptor);
    return;
  }
  // Nagle's algorithm with the client's delayed acknowledgement holds an answer for ~40 ms.
  socket.set_option(tcp::no_delay(true), error);
  const tcp::endpoint remote = socket.remote_endpoint(error);
  if (error) return;  // gone already
  std::string address = AddressText(remote.address());

  enum class Decision { kServe, kRefuse, kDrop } decision = Decision::kServe;
  std::size_t from_address = 0;
  {
    std::lock_guard lock(mutex);
    if (stop_requested) return;
    if (open_connections >= connection_limit) {
      decision = Decision::kDrop;
    } else {
      ++open_connections;
      std::size_t& count = per_address[address];
      from_address = count;
      if (count >= options.connections_per_address) {
        decision = Decision::kRefuse;
        if (count == 0) per_address.erase(address);
      } else {
        ++count;
      }
    }
  }
  if (decision == Decision::kDrop) {
    refusals.Note(ThrottledLog::kTooManyConnections, "refused a connection from " + address + ": " +
                                                         std::to_string(connection_limit) +
                                                         " connections are open");
    if (!tls) {
      // A fresh socket's send buffer is empty: the short answer goes out without waiting.
      [[maybe_unused]] const ssize_t sent =
          ::send(socket.native_handle(), refusal_bytes.data(), refusal_bytes.size(),
                 MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    return;
  }
  if (decision == Decision::kRefuse) {
    refusals.Note(ThrottledLog::kTooManyFromAddress, "refused a connection from " + address +
                                                         ": it has " +
                                                         std::to_string(from_address) + " open");
  }
  const bool refuse = decision == Decision::kRefuse;
  if (tls) {
    std::make_shared<Connection<beast::ssl_stream<beast::tcp_stream>>>(*this, std::move(address),
                                                                       refuse, std::move(socket))
        ->Start();
  } else {
    std::make_shared<Connection<beast::tcp_stream>>(*this, std::move(address), refuse,
                                                    std::move(socket))
        ->Start();
  }
}

struct Server::Impl : ServerCore {
  using ServerCore::ServerCore;
};

Server::Server(Handler handler, ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(handler), std::move(options))) {}

Server::~Server() = default;

std::optional<int> Server::Bind(const std::string& host, int port) {
  return impl_->Bind(host, port);
}

bool Server::Serve() { return impl_->Serve(); }

void Server::Stop() { impl_->Stop(); }

}  // namespace keyin::http
