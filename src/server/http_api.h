// The HTTP face of the exam room: the JSON API of docs/api.md, the pages of web/, sessions and
// the protections every response carries. Routes are thin: they check the session and the
// request's shape, call the room, and turn its answer or refusal into a response.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "server/centre.h"
#include "server/metrics.h"
#include "server/network_rule.h"

namespace keyin::server {

struct FrontEndOptions {
  std::string proctor_password;  // the first administrator's, signing in without an account
  std::string web_folder;        // the pages: index.html, proctor/index.html, *.js, *.css
  std::string tool;              // keyin-tool, run to re-score a corrected paper
  std::string tls_certificate;   // both empty: plain HTTP
  std::string tls_key;
  std::size_t body_limit = 1 << 20;  // larger requests get 413
  // One classroom behind NAT comes from one address: it needs more.
  std::size_t connections_per_address = 64;
  int worker_threads = 32;  // requests answered at the same time
  // Who may call: /api/candidate/ from candidates_from, the rest of /api/ from proctors_from
  // (403 otherwise; empty: everyone). The pages themselves hold no data and are served to all.
  NetworkRule candidates_from;
  NetworkRule proctors_from;  // also /metrics
  // Sign-ins, saves, submits and failures are counted here; /metrics shows it (none given: the
  // front end keeps its own).
  ServerMetrics* metrics = nullptr;
  // Where the details of a failure go (a 500's cause, refused connections), one line at a time.
  // Default: standard error, "keyin-server: <line>".
  std::function<void(std::string_view line)> log;
};

class HttpFrontEnd {
 public:
  // Throws std::runtime_error when the pages cannot be read or TLS cannot be set up (naming the
  // files).
  HttpFrontEnd(Centre& centre, FrontEndOptions options);
  ~HttpFrontEnd();
  HttpFrontEnd(const HttpFrontEnd&) = delete;
  HttpFrontEnd& operator=(const HttpFrontEnd&) = delete;

  // Binds; port 0 picks a free one. Returns the port, or nothing when it cannot bind.
  std::optional<int> Bind(const std::string& host, int port);
  // Serves until Stop(); returns false when serving failed (not bound).
  bool Serve();
  // Thread-safe and sticky: a Stop() before Serve() makes Serve() return at once.
  void Stop();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The value of one cookie in a Cookie header, or nothing.
std::optional<std::string> CookieValue(std::string_view header, std::string_view name);

}  // namespace keyin::server
