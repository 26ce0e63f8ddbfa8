#include "server/http_api.h"

#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/database.h"
#include "platform/socket_options.h"
#include "platform/system_services.h"

namespace keyin::server {

using nlohmann::json;

bool ConstantTimeEquals(std::string_view a, std::string_view b) {
  const std::size_t length = std::max(a.size(), b.size());
  unsigned char difference = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    difference |= static_cast<unsigned char>(x ^ y);
  }
  return difference == 0;
}

std::optional<std::string> CookieValue(std::string_view header, std::string_view name) {
  while (!header.empty()) {
    std::size_t end = header.find(';');
    std::string_view pair = header.substr(0, end);
    while (pair.starts_with(' ')) pair.remove_prefix(1);
    const std::size_t equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
      return std::string(pair.substr(equals + 1));
    }
    if (end == std::string_view::npos) break;
    header.remove_prefix(end + 1);
  }
  return std::nullopt;
}

namespace {

constexpr char kCandidateCookie[] = "keyin_seat";
constexpr char kProctorCookie[] = "keyin_proctor";
constexpr std::int64_t kProctorSessionMs = 12LL * 3600 * 1000;

// Pages and API: scripts only from the server's own files, nothing inline, nothing external.
constexpr char kPagePolicy[] =
    "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "connect-src 'self'; frame-src 'self'; frame-ancestors 'self'; form-action 'self'; "
    "base-uri 'none'; object-src 'none'";
// The visual report is one self-contained page with its own inline styles and no script.
constexpr char kReportPolicy[] =
    "default-src 'none'; style-src 'unsafe-inline'; img-src data:; frame-ancestors 'self'; "
    "base-uri 'none'; form-action 'none'; sandbox";

struct WebFile {
  std::string content;
  std::string type;
};

std::string ContentTypeOf(const std::filesystem::path& path) {
  const std::string extension = path.extension().string();
  if (extension == ".html") return "text/html; charset=utf-8";
  if (extension == ".css") return "text/css; charset=utf-8";
  if (extension == ".js") return "text/javascript; charset=utf-8";
  if (extension == ".png") return "image/png";
  if (extension == ".svg") return "image/svg+xml";
  return "application/octet-stream";
}

// Every file of the web folder, read once: requests can name only these.
std::map<std::string, WebFile> LoadWebFiles(const std::string& folder) {
  std::map<std::string, WebFile> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
    if (!it->is_regular_file()) continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    const std::string url = "/" + std::filesystem::relative(it->path(), folder).generic_string();
    files[url] = {content.str(), ContentTypeOf(it->path())};
  }
  if (error || !files.contains("/index.html")) {
    throw std::runtime_error("cannot read the pages in " + folder + " (index.html missing)");
  }
  return files;
}

void SendJson(httplib::Response& res, int status, const json& body) {
  res.status = status;
  res.set_content(body.dump(), "application/json; charset=utf-8");
}

void SendError(httplib::Response& res, int status, const std::string& message) {
  SendJson(res, status, {{"error", message}});
}

// The request's JSON object; throws RoomError 400 for anything else.
json BodyObject(const httplib::Request& req) {
  json body = json::parse(req.body, nullptr, false);
  if (body.is_discarded() || !body.is_object()) {
    throw RoomError(400, "請求內容必須是 JSON 物件");
  }
  return body;
}

std::string StringField(const json& body, const char* name) {
  if (!body.contains(name) || !body[name].is_string()) {
    throw RoomError(400, std::string("欄位 ") + name + " 必須是文字");
  }
  return body[name].get<std::string>();
}

std::int64_t IntegerField(const json& body, const char* name) {
  if (!body.contains(name) || !body[name].is_number_integer()) {
    throw RoomError(400, std::string("欄位 ") + name + " 必須是整數");
  }
  return body[name].get<std::int64_t>();
}

int PartField(const json& body) {
  const std::int64_t part = IntegerField(body, "part");
  if (part != 1 && part != 2) throw RoomError(400, "欄位 part 必須是 1 或 2");
  return static_cast<int>(part);
}

}  // namespace

// The listening socket is the library's; these give it a longer queue once it listens.
class PlainServer : public httplib::Server {
 public:
  int ListeningSocket() const { return svr_sock_; }
};
class TlsServer : public httplib::SSLServer {
 public:
  using httplib::SSLServer::SSLServer;
  int ListeningSocket() const { return svr_sock_; }
};

struct HttpFrontEnd::State {
  ExamRoom& room;
  FrontEndOptions options;
  std::unique_ptr<httplib::Server> server;
  std::function<int()> listening_socket;
  std::map<std::string, WebFile> files;
  bool secure = false;
  std::mutex sessions_mutex;
  std::map<std::string, std::int64_t> proctor_sessions;  // token -> expiry

  State(ExamRoom& exam_room, FrontEndOptions front_end_options)
      : room(exam_room), options(std::move(front_end_options)) {}

  std::string SessionCookie(const char* name, const std::string& value, bool clear = false) const {
    std::string cookie = std::string(name) + "=" + value + "; Path=/; HttpOnly; SameSite=Strict";
    if (secure) cookie += "; Secure";
    if (clear) cookie += "; Max-Age=0";
    return cookie;
  }

  std::optional<std::string> CandidateSeat(const httplib::Request& req) {
    std::optional<std::string> token =
        CookieValue(req.get_header_value("Cookie"), kCandidateCookie);
    if (!token || token->empty()) return std::nullopt;
    return room.SeatOfToken(*token);
  }

  std::string RequireCandidate(const httplib::Request& req) {
    std::optional<std::string> seat = CandidateSeat(req);
    if (!seat) throw RoomError(401, "請先用考生編號登入");
    return *seat;
  }

  bool IsProctor(const httplib::Request& req) {
    std::optional<std::string> token = CookieValue(req.get_header_value("Cookie"), kProctorCookie);
    if (!token) return false;
    std::lock_guard lock(sessions_mutex);
    auto found = proctor_sessions.find(*token);
    if (found == proctor_sessions.end()) return false;
    if (found->second < UnixMillisNow()) {
      proctor_sessions.erase(found);
      return false;
    }
    return true;
  }

  void RequireProctor(const httplib::Request& req) {
    if (!IsProctor(req)) throw RoomError(401, "請先以監考密碼登入");
  }

  // Runs a route, turning refusals into their status and message.
  httplib::Server::Handler Route(
      std::function<void(const httplib::Request&, httplib::Response&)> f) {
    return [f = std::move(f)](const httplib::Request& req, httplib::Response& res) {
      try {
        f(req, res);
      } catch (const RoomError& refusal) {
        SendError(res, refusal.Status(), refusal.what());
      } catch (const SittingError& refusal) {
        SendError(res, 400, refusal.what());
      } catch (const DatabaseError& failure) {
        SendError(res, 503, std::string("無法讀取成績資料庫：") + failure.what());
      } catch (const std::exception& failure) {
        SendError(res, 500, std::string("伺服器內部錯誤：") + failure.what());
      }
    };
  }

  void AddRoutes();
};

void HttpFrontEnd::State::AddRoutes() {
  httplib::Server& s = *server;

  // Candidate.
  s.Post("/api/candidate/sign-in", Route([this](const auto& req, auto& res) {
           const json body = BodyObject(req);
           const std::string user_id = StringField(body, "UserID");
           if (!IsSafeName(user_id, 20)) {
             throw RoomError(400, "考生編號只含英文字母、數字、- 或 _");
           }
           const std::string token = room.SignIn(user_id);
           res.set_header("Set-Cookie", SessionCookie(kCandidateCookie, token));
           SendJson(res, 200, room.CandidateState(*room.SeatOfToken(token)));
         }));
  s.Post("/api/candidate/sign-out", Route([this](const auto&, auto& res) {
           res.set_header("Set-Cookie", SessionCookie(kCandidateCookie, "", true));
           SendJson(res, 200, json::object());
         }));
  s.Get("/api/candidate/state", Route([this](const auto& req, auto& res) {
          SendJson(res, 200, room.CandidateState(RequireCandidate(req)));
        }));
  s.Post("/api/candidate/method", Route([this](const auto& req, auto& res) {
           const std::string seat = RequireCandidate(req);
           const json body = BodyObject(req);
           SendJson(res, 200, room.ChooseMethod(seat, StringField(body, "method")));
         }));
  s.Post("/api/candidate/start", Route([this](const auto& req, auto& res) {
           const std::string seat = RequireCandidate(req);
           const json body = BodyObject(req);
           SendJson(res, 200, room.StartPart(seat, PartField(body)));
         }));
  s.Put("/api/candidate/draft", Route([this](const auto& req, auto& res) {
          const std::string seat = RequireCandidate(req);
          const json body = BodyObject(req);
          SendJson(res, 200, room.SaveDraft(seat, PartField(body), StringField(body, "text")));
        }));
  s.Post("/api/candidate/submit", Route([this](const auto& req, auto& res) {
           const std::string seat = RequireCandidate(req);
           const json body = BodyObject(req);
           std::optional<std::string> text;
           if (body.contains("text")) text = StringField(body, "text");
           SendJson(res, 200, room.Submit(seat, PartField(body), text));
         }));
  s.Get(R"(/api/candidate/report/([12]))", Route([this](const auto& req, auto& res) {
          const std::string seat = RequireCandidate(req);
          res.set_content(room.Report(seat, std::stoi(req.matches[1]), false),
                          "text/html; charset=utf-8");
          res.set_header("Content-Security-Policy", kReportPolicy);
        }));

  // Proctor.
  s.Post("/api/proctor/sign-in", Route([this](const auto& req, auto& res) {
           const json body = BodyObject(req);
           if (!ConstantTimeEquals(StringField(body, "password"), options.proctor_password)) {
             throw RoomError(401, "監考密碼不對，請再試一次");
           }
           const std::string token = RandomHex(24);
           {
             std::lock_guard lock(sessions_mutex);
             proctor_sessions[token] = UnixMillisNow() + kProctorSessionMs;
           }
           res.set_header("Set-Cookie", SessionCookie(kProctorCookie, token));
           SendJson(res, 200, room.SittingInfo());
         }));
  s.Post("/api/proctor/sign-out", Route([this](const auto& req, auto& res) {
           if (auto token = CookieValue(req.get_header_value("Cookie"), kProctorCookie)) {
             std::lock_guard lock(sessions_mutex);
             proctor_sessions.erase(*token);
           }
           res.set_header("Set-Cookie", SessionCookie(kProctorCookie, "", true));
           SendJson(res, 200, json::object());
         }));
  s.Get("/api/sitting", Route([this](const auto& req, auto& res) {
          RequireProctor(req);
          SendJson(res, 200, room.SittingInfo());
        }));
  s.Post(
      "/api/sitting", Route([this](const auto& req, auto& res) {
        RequireProctor(req);
        if (!req.is_multipart_form_data() || !req.has_file("sitting") || !req.has_file("roster")) {
          throw RoomError(400, "請以 multipart/form-data 送出 sitting（JSON）與 roster（CSV 檔）");
        }
        const json sitting_json =
            json::parse(req.get_file_value("sitting").content, nullptr, false);
        if (sitting_json.is_discarded()) throw RoomError(400, "場次設定不是正確的 JSON");
        const Sitting sitting = SittingFromJson(sitting_json);
        std::vector<Candidate> roster = ParseRoster(req.get_file_value("roster").content);
        room.OpenSitting(sitting, std::move(roster));
        SendJson(res, 200, room.SittingInfo());
      }));
  s.Post("/api/sitting/end", Route([this](const auto& req, auto& res) {
           RequireProctor(req);
           SendJson(res, 200, room.EndSitting());
         }));
  s.Get("/api/board", Route([this](const auto& req, auto& res) {
          RequireProctor(req);
          SendJson(res, 200, room.Board());
        }));
  s.Get(R"(/api/seats/([^/]+))", Route([this](const auto& req, auto& res) {
          RequireProctor(req);
          SendJson(res, 200, room.SeatDetail(req.matches[1]));
        }));
  s.Post(R"(/api/seats/([^/]+)/add-time)", Route([this](const auto& req, auto& res) {
           RequireProctor(req);
           const json body = BodyObject(req);
           SendJson(res, 200, room.AddTime(req.matches[1], IntegerField(body, "seconds")));
         }));
  s.Get(R"(/api/seats/([^/]+)/report/([12]))", Route([this](const auto& req, auto& res) {
          RequireProctor(req);
          res.set_content(room.Report(req.matches[1], std::stoi(req.matches[2]), true),
                          "text/html; charset=utf-8");
          res.set_header("Content-Security-Policy", kReportPolicy);
        }));
  s.Get("/api/results", Route([this](const auto& req, auto& res) {
          RequireProctor(req);
          const StoredResults results = room.Results();
          SendJson(res, 200,
                   {{"table", results.table},
                    {"columns", results.columns},
                    {"rows", results.rows},
                    {"board", room.Board()}});
        }));
  s.Get("/api/results.csv", Route([this](const auto& req, auto& res) {
          RequireProctor(req);
          const StoredResults results = room.Results();
          res.set_header("Content-Disposition", "attachment; filename=\"results.csv\"");
          res.set_content(ResultsCsv(results), "text/csv; charset=utf-8");
        }));

  // Pages: only the files of the web folder.
  s.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
    std::string path = req.path;
    if (path.ends_with('/')) path += "index.html";
    auto found = files.find(path);
    if (found == files.end() || path.starts_with("/api/")) {
      SendError(res, 404, "找不到這一頁");
      return;
    }
    res.set_content(found->second.content, found->second.type);
  });
}

HttpFrontEnd::HttpFrontEnd(ExamRoom& room, FrontEndOptions options)
    : state_(std::make_unique<State>(room, std::move(options))) {
  State& state = *state_;
  state.files = LoadWebFiles(state.options.web_folder);
  if (!state.options.tls_certificate.empty()) {
    auto server = std::make_unique<TlsServer>(state.options.tls_certificate.c_str(),
                                              state.options.tls_key.c_str());
    if (!server->is_valid()) {
      throw std::runtime_error("cannot use the TLS certificate " + state.options.tls_certificate +
                               " with the key " + state.options.tls_key);
    }
    TlsServer* tls = server.get();
    state.listening_socket = [tls] { return tls->ListeningSocket(); };
    state.server = std::move(server);
    state.secure = true;
  } else {
    auto server = std::make_unique<PlainServer>();
    PlainServer* plain = server.get();
    state.listening_socket = [plain] { return plain->ListeningSocket(); };
    state.server = std::move(server);
  }
  httplib::Server& s = *state.server;
  const int threads = state.options.threads;
  s.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
  s.set_payload_max_length(state.options.body_limit);
  s.set_keep_alive_timeout(2);
  s.set_keep_alive_max_count(1000);
  s.set_socket_options([](socket_t socket) {
    httplib::default_socket_options(socket);
    SetCloseOnExec(socket);  // the scorer must not inherit the listening socket
  });
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 413) {
      SendError(res, 413, "請求內容太大");
    } else if (res.status == 400) {
      SendError(res, 400, "請求格式不正確");
    } else {
      SendError(res, res.status, "無法處理這個請求");
    }
  });
  s.set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.has_header("Content-Security-Policy")) {
      res.set_header("Content-Security-Policy", kPagePolicy);
    }
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Frame-Options", "SAMEORIGIN");
    if (req.path.starts_with("/api/")) res.set_header("Cache-Control", "no-store");
  });
  state.AddRoutes();
}

HttpFrontEnd::~HttpFrontEnd() = default;

std::optional<int> HttpFrontEnd::Bind(const std::string& host, int port) {
  httplib::Server& s = *state_->server;
  int bound = port;
  if (port == 0) {
    bound = s.bind_to_any_port(host);
    if (bound <= 0) return std::nullopt;
  } else if (!s.bind_to_port(host, port)) {
    return std::nullopt;
  }
  SetListenBacklog(state_->listening_socket(), 1024);
  return bound;
}

bool HttpFrontEnd::Serve() { return state_->server->listen_after_bind(); }

void HttpFrontEnd::Stop() { state_->server->stop(); }

}  // namespace keyin::server
