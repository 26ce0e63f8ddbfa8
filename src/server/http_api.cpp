#include "server/http_api.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/http_server.h"
#include "platform/message_box.h"
#include "platform/password_hash.h"
#include "platform/paths.h"
#include "platform/qr_code.h"
#include "platform/system_services.h"
#include "report/results.h"
#include "server/account_book.h"
#include "server/accounts.h"
#include "server/centre.h"
#include "server/drill.h"
#include "server/history.h"
#include "server/multipart.h"
#include "server/paper.h"
#include "server/paper_rescore.h"
#include "server/room_views.h"
#include "server/sign_in_throttle.h"
#include "support/text.h"

namespace keyin::server {

using nlohmann::json;

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
// The account of KEYIN_PROCTOR_PASSWORD, who signs in with the password alone.
const std::string kFirstAdministrator = "administrator";
constexpr std::int64_t kProctorSessionMs = 12LL * 3600 * 1000;
constexpr char kInternalError[] = "伺服器內部錯誤，請通知監考老師";

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

void SendJson(http::Response& res, int status, const json& body) {
  res.status = status;
  res.SetHeader("Content-Type", "application/json; charset=utf-8");
  res.body = body.dump();
}

void SendError(http::Response& res, int status, const std::string& message,
               const std::string& code = {}) {
  json body = {{"error", message}};
  if (!code.empty()) body["code"] = code;
  SendJson(res, status, body);
}

void SendHtml(http::Response& res, std::string page) {
  res.SetHeader("Content-Type", "text/html; charset=utf-8");
  res.body = std::move(page);
}

// The request's JSON object; throws RoomError 400 for anything else.
json BodyObject(const http::Request& req) {
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

// A text field that may be left out ("" then); any other kind of value is 400.
std::string OptionalStringField(const json& body, const char* name) {
  if (!body.contains(name)) return {};
  return StringField(body, name);
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

// A save of the answer box: its text, the version it builds on, and the page that sends it with
// its count of saves (optional: a client without them must build on the latest version).
DraftSave DraftSaveOf(const json& body) {
  DraftSave save;
  save.text = StringField(body, "text");
  save.base = IntegerField(body, "base");
  if (save.base < 0) throw RoomError(400, "欄位 base 不可小於 0");
  if (body.contains("window")) {
    save.window = StringField(body, "window");
    if (!IsSafeName(save.window, 64))
      throw RoomError(400, "欄位 window 只含英文字母、數字、- 或 _");
    save.seq = IntegerField(body, "seq");
    if (save.seq < 1) throw RoomError(400, "欄位 seq 必須大於 0");
  }
  return save;
}

// A part named in a path: "1" or "2", else there is no such page.
int PartOfPath(const std::string& segment) {
  if (segment != "1" && segment != "2") throw RoomError(404, "找不到這一頁");
  return segment[0] - '0';
}

// The protections every answer carries, the server's own refusals included.
void Protect(const std::string& path, http::Response& res) {
  if (!res.HasHeader("Content-Security-Policy")) {
    res.SetHeader("Content-Security-Policy", kPagePolicy);
  }
  res.SetHeader("X-Content-Type-Options", "nosniff");
  res.SetHeader("Referrer-Policy", "no-referrer");
  res.SetHeader("X-Frame-Options", "SAMEORIGIN");
  if (path.starts_with("/api/")) res.SetHeader("Cache-Control", "no-store");
}

// What the server says when it refuses a request before any route sees it.
http::Response RefusalPage(int status) {
  http::Response res;
  switch (status) {
    case 400:
      SendError(res, 400, "請求格式不正確");
      break;
    case 413:
      SendError(res, 413, "請求內容太大");
      break;
    case 431:
      SendError(res, 431, "請求標頭太大");
      break;
    case 500:
      SendError(res, 500, kInternalError);
      break;
    case 503:
      SendError(res, 503, "連線太多，請稍候再試");
      break;
    default:
      SendError(res, status, "無法處理這個請求");
  }
  Protect("/api/", res);
  return res;
}

// Routes by method and path. A pattern's segments are literal, or {name}: one segment, not empty,
// handed to the route in the order of the pattern. HEAD is answered by the GET route.
class Router {
 public:
  using Route = std::function<void(const http::Request&, http::Response&,
                                   const std::vector<std::string>& parameters)>;

  void Add(std::string method, std::string_view pattern, Route route) {
    entries_.push_back({std::move(method), Segments(pattern), std::move(route)});
  }

  // False when no route takes the request.
  bool Dispatch(const http::Request& req, http::Response& res) const {
    const std::string method = req.method == "HEAD" ? "GET" : req.method;
    const std::vector<std::string> segments = Segments(req.path);
    std::vector<std::string> parameters;
    for (const Entry& entry : entries_) {
      if (entry.method == method && Matches(entry.segments, segments, parameters)) {
        entry.route(req, res, parameters);
        return true;
      }
    }
    return false;
  }

 private:
  struct Entry {
    std::string method;
    std::vector<std::string> segments;
    Route route;
  };

  static std::vector<std::string> Segments(std::string_view path) {
    std::vector<std::string> segments;
    if (path.starts_with('/')) path.remove_prefix(1);
    for (;;) {
      const std::size_t slash = path.find('/');
      segments.emplace_back(path.substr(0, slash));
      if (slash == std::string_view::npos) return segments;
      path.remove_prefix(slash + 1);
    }
  }

  static bool Matches(const std::vector<std::string>& pattern,
                      const std::vector<std::string>& segments,
                      std::vector<std::string>& parameters) {
    if (pattern.size() != segments.size()) return false;
    parameters.clear();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i].starts_with('{')) {
        if (segments[i].empty()) return false;
        parameters.push_back(segments[i]);
      } else if (pattern[i] != segments[i]) {
        return false;
      }
    }
    return true;
  }

  std::vector<Entry> entries_;
};

}  // namespace

struct HttpFrontEnd::State {
  Centre& centre;
  FrontEndOptions options;
  std::map<std::string, WebFile> files;
  bool secure = false;
  Router router;
  std::mutex sessions_mutex;
  struct StaffSession {
    std::int64_t expiry = 0;
    std::string who;
    Role role = Role::kProctor;
  };
  std::map<std::string, StaffSession> proctor_sessions;  // by token
  std::mutex throttle_mutex;
  // One drill made at a time: each scores the candidate's history again in a child.
  std::mutex drill_making;
  SignInThrottle throttle;
  std::unique_ptr<ServerMetrics> own_metrics;  // when the options bring none
  std::unique_ptr<PaperRescore> rescore;
  std::unique_ptr<http::Server> server;  // last: it calls on everything above

  State(Centre& exam_centre, FrontEndOptions front_end_options)
      : centre(exam_centre), options(std::move(front_end_options)) {}

  std::string SessionCookie(const char* name, const std::string& value, bool clear = false) const {
    std::string cookie = std::string(name) + "=" + value + "; Path=/; HttpOnly; SameSite=Strict";
    if (secure) cookie += "; Secure";
    if (clear) cookie += "; Max-Age=0";
    return cookie;
  }

  // Where the request's session stands: 401 without one, and for one that was stopped (with
  // why, code "moved").
  Centre::Where CandidateAccess(const http::Request& req) {
    std::optional<std::string> token = CookieValue(req.HeaderValue("Cookie"), kCandidateCookie);
    std::optional<Centre::Where> where;
    if (token && !token->empty()) where = centre.AccessOf(*token);
    if (!where) throw RoomError(401, "請先用考生編號登入");
    if (where->access.standing == ExamRoom::Access::Standing::kStopped) {
      throw RoomError(401, where->access.why, "moved");
    }
    return *where;
  }

  // The room and seat of a session that holds it; one that waits for the proctor may do nothing
  // yet.
  std::pair<ExamRoom*, std::string> RequireCandidate(const http::Request& req) {
    const Centre::Where where = CandidateAccess(req);
    if (where.access.standing == ExamRoom::Access::Standing::kWaits) {
      throw RoomError(403, "請等候監考老師確認後再繼續", "waiting");
    }
    return {where.room, where.access.seat};
  }

  // The candidate's state as the pages show it.
  static json StateOf(const Centre::Where& where) {
    return where.room->CandidateState(where.access.seat,
                                      where.access.standing == ExamRoom::Access::Standing::kWaits);
  }

  std::optional<StaffSession> StaffOf(const http::Request& req) {
    std::optional<std::string> token = CookieValue(req.HeaderValue("Cookie"), kProctorCookie);
    if (!token) return std::nullopt;
    std::lock_guard lock(sessions_mutex);
    auto found = proctor_sessions.find(*token);
    if (found == proctor_sessions.end()) return std::nullopt;
    if (found->second.expiry < centre.Now()) {
      proctor_sessions.erase(found);
      return std::nullopt;
    }
    return found->second;
  }

  // The signed-in account, when its role has the power: 401 without a session, 403 without it.
  StaffSession RequireStaff(const http::Request& req, Power power) {
    std::optional<StaffSession> staff = StaffOf(req);
    if (!staff) throw RoomError(401, "請先以監考帳號登入");
    if (!RoleMay(staff->role, power)) throw RoomError(403, "這個帳號不能做這件事");
    return *staff;
  }

  // The account and role of a sign-in, when its password is right. Without an account the
  // password is the first administrator's (KEYIN_PROCTOR_PASSWORD).
  std::optional<StaffSession> CheckPassword(const std::string& account,
                                            const std::string& password) {
    if (account.empty()) {
      if (options.proctor_password.empty() ||
          !ConstantTimeEquals(password, options.proctor_password)) {
        return std::nullopt;
      }
      return StaffSession{0, kFirstAdministrator, Role::kAdministrator};
    }
    for (const Account& known : ReadAccounts(centre.ProgramFolder())) {
      if (known.name == account) {
        if (!PasswordMatches(known.password_hash, password)) return std::nullopt;
        return StaffSession{0, known.name, known.role};
      }
    }
    // As long as a wrong password, so the time taken does not tell which names exist.
    static const std::string nobody = HashPassword(RandomHex(16));
    PasswordMatches(nobody, password);
    return std::nullopt;
  }

  // One line: a line end in the request's path or in a failure's text cannot forge another.
  void Log(std::string_view text) const {
    std::string line(text);
    for (char& c : line) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    if (options.log) {
      options.log(line);
    } else {
      ReportFailureLine("keyin-server", line);
    }
  }

  // A sign-in for this name from the request's address waits while wrong ones went before it:
  // 429 with the seconds to wait, and a log line (never the password or the code).
  void CheckThrottle(const std::string& name, const http::Request& req, http::Response& res) {
    std::int64_t wait_ms = 0;
    {
      std::lock_guard lock(throttle_mutex);
      wait_ms = throttle.WaitMs(name, req.remote_address, centre.Now());
    }
    if (wait_ms == 0) return;
    Log("sign-in refused, too many tries: " + name + " from " + req.remote_address);
    res.SetHeader("Retry-After", std::to_string((wait_ms + 999) / 1000));
    throw RoomError(429, "嘗試太多次，請稍候再試");
  }

  void SignInFailed(const std::string& name, const http::Request& req) {
    {
      std::lock_guard lock(throttle_mutex);
      throttle.Failed(name, req.remote_address, centre.Now());
    }
    Log("sign-in refused: " + name + " from " + req.remote_address);
  }

  void SignInSucceeded(const std::string& name) {
    std::lock_guard lock(throttle_mutex);
    throttle.Succeeded(name);
  }

  // Adds a route whose refusals become their status and message. A failure nobody foresaw is a
  // 500 with a plain message for the person; its details, which may name files, go to the log.
  void Add(std::string method, std::string_view pattern, Router::Route route) {
    router.Add(std::move(method), pattern,
               [this, route = std::move(route)](const http::Request& req, http::Response& res,
                                                const std::vector<std::string>& parameters) {
                 try {
                   route(req, res, parameters);
                 } catch (const RoomError& refusal) {
                   SendError(res, refusal.Status(), refusal.what(), refusal.Code());
                 } catch (const SittingError& refusal) {
                   SendError(res, 400, refusal.what());
                 } catch (const DatabaseError& failure) {
                   SendError(res, 503, std::string("無法讀取成績資料庫：") + failure.what());
                 } catch (const json::type_error&) {  // a field of the wrong type
                   SendError(res, 400, "請求內容有欄位的型別不對");
                 } catch (const std::exception& failure) {
                   Log(req.method + " " + req.path + ": " + failure.what());
                   SendError(res, 500, kInternalError);
                 }
               });
  }

  // Results across rooms are for teachers and administrators; a proctor reads their rooms'.
  StaffSession RequireReader(const http::Request& req) {
    const StaffSession staff = RequireStaff(req, Power::kRead);
    if (staff.role == Role::kProctor) throw RoomError(403, "成績查詢只給老師與管理者");
    return staff;
  }

  const std::string& ProgramFolderOfRooms() const { return centre.ProgramFolder(); }
  std::string PapersFolder() const { return centre.ProgramFolder() + "/lib"; }

  StaffSession RequireAdministrator(const http::Request& req) {
    const StaffSession staff = RequireStaff(req, Power::kRun);
    if (staff.role != Role::kAdministrator) throw RoomError(403, "只有管理者能做這件事");
    return staff;
  }

  // Changes the accounts file as keyin-tool does; a refusal of `change` is its own answer.
  void ChangeAccountsFile(const StaffSession& staff, const std::string& act,
                          const std::function<std::string(std::vector<Account>&)>& change) {
    try {
      Log("act: " + staff.who + " " +
          ChangeAccounts(centre.ProgramFolder(), staff.who, act, change));
    } catch (const RoomError&) {
      throw;
    } catch (const std::exception& failure) {
      Log("accounts: " + std::string(failure.what()));
      throw RoomError(503, "無法修改帳號，請稍候再試；一再發生時請查看伺服器的紀錄", "storage");
    }
  }

  // Ends the sessions of an account (removed, or given a new password), but the one kept.
  void DropSessionsOf(const std::string& who, const std::string& kept_token = {}) {
    std::lock_guard lock(sessions_mutex);
    std::erase_if(proctor_sessions, [&](const auto& session) {
      return session.second.who == who && session.first != kept_token;
    });
  }

  // The rooms whose sitting, not yet ended, reads this paper of the papers folder.
  json RoomsUsingPaper(const std::string& paper) const {
    const std::string path = AbsolutePath(PapersFolder() + "/" + paper + ".LIB");
    const PathTranslator translate(centre.ProgramFolder());
    json rooms = json::array();
    for (const auto& [name, room] : centre.Rooms()) {
      const json info = room->SittingInfo();
      const std::optional<Sitting> sitting = room->CurrentSitting();
      if (!sitting || info.value("ended", true) || ScoresCustomText(KindOf(*sitting))) continue;
      if (AbsolutePath(translate(sitting->LibPath + sitting->ExamPaperNo + ".LIB")) == path) {
        rooms.push_back(name);
      }
    }
    return rooms;
  }

  // The rooms the account sees: a proctor, those it runs; a reader, all.
  std::vector<std::pair<std::string, ExamRoom*>> VisibleRooms(const StaffSession& staff) const {
    std::vector<std::pair<std::string, ExamRoom*>> rooms = centre.Rooms();
    std::erase_if(rooms, [&](const auto& room) { return !Sees(staff, *room.second); });
    return rooms;
  }

  static bool Sees(const StaffSession& staff, const ExamRoom& room) {
    return staff.role != Role::kProctor || MayRunRoom(staff.who, staff.role, room.CurrentSitting());
  }

  // The room a call without /rooms/{Room}/ means: the one room the account sees, or the one of
  // them whose sitting still runs. 409 when there is none or several.
  std::pair<std::string, ExamRoom*> OnlyRoom(const StaffSession& staff) const {
    std::vector<std::pair<std::string, ExamRoom*>> rooms = VisibleRooms(staff);
    if (rooms.size() > 1) {
      std::erase_if(rooms, [](const auto& room) {
        const json info = room.second->SittingInfo();
        return !info["open"].get<bool>() || info["ended"].get<bool>();
      });
    }
    if (rooms.empty()) throw RoomError(409, "目前沒有開放的場次");
    if (rooms.size() > 1) throw RoomError(409, "有多個考場，請先選擇考場", "choose-room");
    return rooms.front();
  }

  // What the sign-in and the sitting page show: the only room's sitting, or that there is none
  // (with the kinds a new one may have); with several rooms, their names to choose from.
  json SittingInfoFor(const StaffSession& staff) const {
    json info;
    try {
      const auto [name, room] = OnlyRoom(staff);
      info = room->SittingInfo();
      info["room"] = name;
    } catch (const RoomError&) {
      info = {{"open", false}, {"kinds", KindChoices()}};
    }
    json names = json::array();
    for (const auto& [name, room] : VisibleRooms(staff)) names.push_back(name);
    info["rooms"] = names;
    return info;
  }

  // A call on one room, at /api/rooms/{Room}<suffix> and (unprefixed) at /api<suffix> for
  // OnlyRoom: pages and scripts of a one-room centre need not name it. The power kRun also asks
  // that the account runs that room.
  struct RoomCall {
    const http::Request& req;
    http::Response& res;
    const std::string& name;
    ExamRoom& room;
    const StaffSession& staff;
    const std::vector<std::string>& path;  // the suffix's parameters
  };
  void AddRoomRoute(const std::string& method, const std::string& suffix, Power power,
                    std::function<void(const RoomCall&)> route, bool unprefixed = true) {
    const auto call = [this, power, route](const http::Request& req, http::Response& res,
                                           const std::string& name, ExamRoom& room,
                                           const StaffSession& staff,
                                           const std::vector<std::string>& path) {
      if (!Sees(staff, room) ||
          (power == Power::kRun && !MayRunRoom(staff.who, staff.role, room.CurrentSitting()))) {
        throw RoomError(403, "這個考場不是你監考的考場");
      }
      route({req, res, name, room, staff, path});
    };
    Add(method, "/api/rooms/{Room}" + suffix,
        [this, power, call](const auto& req, auto& res, const std::vector<std::string>& path) {
          const StaffSession staff = RequireStaff(req, power);
          ExamRoom* room = centre.Find(path[0]);
          if (room == nullptr) throw RoomError(404, "沒有這個考場");
          call(req, res, path[0], *room, staff, {path.begin() + 1, path.end()});
        });
    if (!unprefixed) return;
    Add(method, "/api" + suffix,
        [this, power, call](const auto& req, auto& res, const std::vector<std::string>& path) {
          const StaffSession staff = RequireStaff(req, power);
          const auto [name, room] = OnlyRoom(staff);
          call(req, res, name, *room, staff, path);
        });
  }

  void AddRoutes();
  void Handle(const http::Request& req, http::Response& res);
  void HandleRoutes(const http::Request& req, http::Response& res);
  void Count(const http::Request& req, const http::Response& res, double seconds);
};

void HttpFrontEnd::State::AddRoutes() {
  using Parameters = std::vector<std::string>;

  // Monitoring: the process answers; the room can serve; what it counts.
  Add("GET", "/livez", [](const auto&, auto& res, const Parameters&) {
    res.SetHeader("Content-Type", "text/plain; charset=utf-8");
    res.body = "ok\n";
  });
  Add("GET", "/readyz", [this](const auto&, auto& res, const Parameters&) {
    res.SetHeader("Content-Type", "text/plain; charset=utf-8");
    if (std::optional<std::string> problem = centre.ReadinessProblem()) {
      res.status = 503;
      res.body = "not ready: " + *problem + "\n";
    } else {
      res.body = "ready\n";
    }
  });
  Add("GET", "/metrics", [this](const auto&, auto& res, const Parameters&) {
    res.SetHeader("Content-Type", "text/plain; version=0.0.4; charset=utf-8");
    res.body = options.metrics->Render(centre.Gauges());
  });

  // Candidate.
  Add("POST", "/api/candidate/sign-in", [this](const auto& req, auto& res, const Parameters&) {
    const json body = BodyObject(req);
    const std::string user_id = StringField(body, "UserID");
    if (!IsSafeName(user_id, 20)) throw RoomError(400, "考生編號只含英文字母、數字、- 或 _");
    const std::string access_code = OptionalStringField(body, "AccessCode");
    if (access_code.size() > 64) throw RoomError(400, "登入碼太長");
    const std::string chosen_room = OptionalStringField(body, "Room");
    const std::string name = "UserID " + user_id;
    CheckThrottle(name, req, res);
    Centre::SignedIn signed_in;
    try {
      signed_in = centre.SignIn(user_id, access_code, chosen_room);
    } catch (const RoomError& refusal) {
      if (refusal.Status() == 401) SignInFailed(name, req);
      throw;
    }
    SignInSucceeded(name);
    if (!signed_in.choices.empty()) {
      json rooms = json::array();
      for (const std::string& room : signed_in.choices) {
        const std::optional<Sitting> sitting = centre.Find(room)->CurrentSitting();
        if (!sitting) continue;
        rooms.push_back({{"Room", room},
                         {"drill", room == DrillRoomOf(user_id)},
                         {"kind_label", KindLabelOf(*sitting)},
                         {"ExamPaperNo", sitting->ExamPaperNo},
                         {"SessionNo", sitting->SessionNo}});
      }
      SendJson(res, 409,
               {{"error", "你在多個考場都有場次，請選擇要進入的考場"},
                {"code", "choose-room"},
                {"rooms", rooms}});
      return;
    }
    res.SetHeader("Set-Cookie", SessionCookie(kCandidateCookie, signed_in.token));
    const std::optional<Centre::Where> where = centre.AccessOf(signed_in.token);
    if (!where || where->access.standing == ExamRoom::Access::Standing::kStopped) {
      throw RoomError(409, "這個座位剛有變動，請再登入一次");  // a sitting replaced meanwhile
    }
    SendJson(res, 200, StateOf(*where));
  });
  Add("POST", "/api/candidate/sign-out", [this](const auto& req, auto& res, const Parameters&) {
    if (auto token = CookieValue(req.HeaderValue("Cookie"), kCandidateCookie)) {
      centre.SignOut(*token);
    }
    res.SetHeader("Set-Cookie", SessionCookie(kCandidateCookie, "", true));
    SendJson(res, 200, json::object());
  });
  Add("GET", "/api/candidate/state", [this](const auto& req, auto& res, const Parameters&) {
    SendJson(res, 200, StateOf(CandidateAccess(req)));
  });
  Add("POST", "/api/candidate/method", [this](const auto& req, auto& res, const Parameters&) {
    const auto [room, seat] = RequireCandidate(req);
    const json body = BodyObject(req);
    SendJson(res, 200, room->ChooseMethod(seat, StringField(body, "method")));
  });
  Add("POST", "/api/candidate/start", [this](const auto& req, auto& res, const Parameters&) {
    const auto [room, seat] = RequireCandidate(req);
    const json body = BodyObject(req);
    SendJson(res, 200, room->StartPart(seat, PartField(body)));
  });
  Add("PUT", "/api/candidate/draft", [this](const auto& req, auto& res, const Parameters&) {
    const auto [room, seat] = RequireCandidate(req);
    const json body = BodyObject(req);
    SendJson(res, 200, room->SaveDraft(seat, PartField(body), DraftSaveOf(body)));
  });
  Add("POST", "/api/candidate/submit", [this](const auto& req, auto& res, const Parameters&) {
    const auto [room, seat] = RequireCandidate(req);
    const json body = BodyObject(req);
    std::optional<DraftSave> save;
    if (body.contains("text")) save = DraftSaveOf(body);
    SendJson(res, 200, room->Submit(seat, PartField(body), save));
  });
  Add("GET", "/api/candidate/report/{part}",
      [this](const auto& req, auto& res, const Parameters& path) {
        const int part = PartOfPath(path[0]);
        const auto [room, seat] = RequireCandidate(req);
        SendHtml(res, room->Report(seat, part, false));
        res.SetHeader("Content-Security-Policy", kReportPolicy);
      });

  // A drill of the candidate's own after a practice, in a room of its own: the session moves
  // there, and leaves the practice's seat free for the next sign-in.
  Add("POST", "/api/candidate/drill", [this](const auto& req, auto& res, const Parameters&) {
    const auto [room, seat] = RequireCandidate(req);
    const Candidate candidate = room->CandidateAt(seat);
    std::unique_lock making(drill_making);
    ExamRoom& drill = StartDrill(centre, *room, seat, options.tool);
    making.unlock();
    if (&drill == room) {  // asked again from the drill being typed: it goes on
      SendJson(res, 200, room->CandidateState(seat));
      return;
    }
    const std::string token = drill.SignIn(candidate.UserID, candidate.AccessCode);
    if (auto old = CookieValue(req.HeaderValue("Cookie"), kCandidateCookie)) room->SignOut(*old);
    res.SetHeader("Set-Cookie", SessionCookie(kCandidateCookie, token));
    const std::optional<Centre::Where> where = centre.AccessOf(token);
    if (!where || where->access.standing == ExamRoom::Access::Standing::kStopped) {
      throw RoomError(409, "這個座位剛有變動，請再登入一次");
    }
    SendJson(res, 200, StateOf(*where));
  });

  // Proctor.
  Add("POST", "/api/proctor/sign-in", [this](const auto& req, auto& res, const Parameters&) {
    const json body = BodyObject(req);
    const std::string account = OptionalStringField(body, "account");
    if (!account.empty() && !IsAccountName(account)) {
      throw RoomError(400, "帳號只含英文字母、數字、.、- 或 _，最多 32 字");
    }
    const std::string name = "account " + (account.empty() ? kFirstAdministrator : account);
    CheckThrottle(name, req, res);
    std::optional<StaffSession> staff = CheckPassword(account, StringField(body, "password"));
    if (!staff) {
      SignInFailed(name, req);
      throw RoomError(401, "帳號或密碼不對，請再試一次");
    }
    SignInSucceeded(name);
    const std::string token = RandomHex(24);
    staff->expiry = centre.Now() + kProctorSessionMs;
    {
      std::lock_guard lock(sessions_mutex);
      proctor_sessions[token] = *staff;
    }
    res.SetHeader("Set-Cookie", SessionCookie(kProctorCookie, token));
    json info = SittingInfoFor(*staff);
    info["who"] = staff->who;
    info["role"] = RoleName(staff->role);
    SendJson(res, 200, info);
  });
  Add("POST", "/api/proctor/sign-out", [this](const auto& req, auto& res, const Parameters&) {
    if (auto token = CookieValue(req.HeaderValue("Cookie"), kProctorCookie)) {
      std::lock_guard lock(sessions_mutex);
      proctor_sessions.erase(*token);
    }
    res.SetHeader("Set-Cookie", SessionCookie(kProctorCookie, "", true));
    SendJson(res, 200, json::object());
  });
  Add("GET", "/api/rooms", [this](const auto& req, auto& res, const Parameters&) {
    const StaffSession staff = RequireStaff(req, Power::kRead);
    json rooms = json::array();
    for (const auto& [name, room] : VisibleRooms(staff)) {
      json info = room->SittingInfo();
      info["room"] = name;
      info["may_run"] = MayRunRoom(staff.who, staff.role, room->CurrentSitting());
      rooms.push_back(std::move(info));
    }
    SendJson(res, 200, rooms);
  });
  // Opening a sitting: in the room the sitting names, or the one the path names.
  const auto open_sitting = [this](const http::Request& req, http::Response& res,
                                   const std::string& path_room) {
    const StaffSession staff = RequireStaff(req, Power::kRun);
    const auto form = ParseMultipartForm(req.HeaderValue("Content-Type"), req.body);
    const FormPart* sitting_part = form ? FindFormPart(*form, "sitting") : nullptr;
    const FormPart* roster_part = form ? FindFormPart(*form, "roster") : nullptr;
    if (!sitting_part || !roster_part) {
      throw RoomError(400, "請以 multipart/form-data 送出 sitting（JSON）與 roster（CSV 檔）");
    }
    const json sitting_json = json::parse(sitting_part->content, nullptr, false);
    if (sitting_json.is_discarded()) throw RoomError(400, "場次設定不是正確的 JSON");
    Sitting sitting = SittingFromJson(sitting_json);
    if (!path_room.empty()) {
      if (sitting_json.contains("Room") && sitting.Room != path_room) {
        throw RoomError(400, "場次設定的考場 Room 與網址的考場不同");
      }
      sitting.Room = path_room;
    }
    if (!MayRunRoom(staff.who, staff.role, sitting)) {
      throw RoomError(403, "這個場次沒有列出你的帳號為監考");
    }
    if (ExamRoom* room = centre.Find(sitting.Room);
        room != nullptr && !MayRunRoom(staff.who, staff.role, room->CurrentSitting())) {
      throw RoomError(403, "這個考場不是你監考的考場");
    }
    std::vector<Candidate> roster = ParseRoster(roster_part->content);
    ExamRoom& room = centre.OpenSitting(sitting, std::move(roster), staff.who);
    json info = room.SittingInfo();
    info["room"] = sitting.Room;
    SendJson(res, 200, info);
  };
  Add("POST", "/api/sitting", [open_sitting](const auto& req, auto& res, const Parameters&) {
    open_sitting(req, res, "");
  });
  Add("POST", "/api/rooms/{Room}/sitting",
      [this, open_sitting](const auto& req, auto& res, const Parameters& path) {
        if (!IsSafeName(path[0], 32)) throw RoomError(404, "沒有這個考場");
        open_sitting(req, res, path[0]);
      });
  // Without rooms yet, the sitting page offers a new one.
  Add("GET", "/api/sitting", [this](const auto& req, auto& res, const Parameters&) {
    const StaffSession staff = RequireStaff(req, Power::kRead);
    SendJson(res, 200, SittingInfoFor(staff));
  });
  AddRoomRoute(
      "GET", "/sitting", Power::kRead,
      [](const RoomCall& call) {
        json info = call.room.SittingInfo();
        info["room"] = call.name;
        SendJson(call.res, 200, info);
      },
      /*unprefixed=*/false);
  AddRoomRoute("POST", "/sitting/end", Power::kRun, [](const RoomCall& call) {
    const json body = call.req.body.empty() ? json::object() : BodyObject(call.req);
    SendJson(call.res, 200,
             call.room.EndSitting(call.staff.who, OptionalStringField(body, "reason")));
  });
  AddRoomRoute("POST", "/sitting/open-now", Power::kRun, [](const RoomCall& call) {
    const json body = call.req.body.empty() ? json::object() : BodyObject(call.req);
    SendJson(call.res, 200, call.room.OpenNow(call.staff.who, OptionalStringField(body, "reason")));
  });
  AddRoomRoute("GET", "/board", Power::kRun,
               [](const RoomCall& call) { SendJson(call.res, 200, call.room.Board()); });
  AddRoomRoute("GET", "/seats/{SeatNo}", Power::kRun, [](const RoomCall& call) {
    SendJson(call.res, 200, call.room.SeatDetail(call.path[0]));
  });
  AddRoomRoute("POST", "/seats/{SeatNo}/add-time", Power::kRun, [](const RoomCall& call) {
    const json body = BodyObject(call.req);
    SendJson(call.res, 200,
             call.room.AddTime(call.path[0], IntegerField(body, "seconds"), call.staff.who,
                               OptionalStringField(body, "reason")));
  });
  AddRoomRoute("POST", "/seats/{SeatNo}/admit", Power::kRun, [](const RoomCall& call) {
    const json body = call.req.body.empty() ? json::object() : BodyObject(call.req);
    SendJson(call.res, 200,
             call.room.Admit(call.path[0], call.staff.who, OptionalStringField(body, "reason")));
  });
  AddRoomRoute("POST", "/seats/{SeatNo}/move", Power::kRun, [](const RoomCall& call) {
    const json body = BodyObject(call.req);
    if (!body.contains("approve") || !body["approve"].is_boolean()) {
      throw RoomError(400, "欄位 approve 必須是 true 或 false");
    }
    SendJson(call.res, 200,
             call.room.DecideMove(call.path[0], body["approve"].get<bool>(), call.staff.who,
                                  OptionalStringField(body, "reason")));
  });
  AddRoomRoute("GET", "/slips", Power::kRun,
               [](const RoomCall& call) { SendJson(call.res, 200, call.room.Slips()); });
  // The room's address as the slips print it; the page names the address (the proctor's
  // browser knows how candidates reach the server, the server does not).
  Add("GET", "/api/qr.svg", [this](const auto& req, auto& res, const Parameters&) {
    RequireStaff(req, Power::kRun);
    const std::optional<std::string> text = req.QueryValue("text");
    if (!text || text->empty() || text->size() > 500) {
      throw RoomError(400, "請給 1 到 500 字元的 text");
    }
    res.SetHeader("Content-Type", "image/svg+xml");
    res.body = QrCodeSvg(QrCodeModules(*text));
  });
  AddRoomRoute("GET", "/actions", Power::kRead, [](const RoomCall& call) {
    json actions = json::array();
    for (const Action& action : call.room.Actions()) actions.push_back(ActionToJson(action));
    SendJson(call.res, 200, actions);
  });
  AddRoomRoute("GET", "/seats/{SeatNo}/report/{part}", Power::kRead, [](const RoomCall& call) {
    const int part = PartOfPath(call.path[1]);
    SendHtml(call.res, call.room.Report(call.path[0], part, true));
    call.res.SetHeader("Content-Security-Policy", kReportPolicy);
  });
  AddRoomRoute("GET", "/results", Power::kRead, [](const RoomCall& call) {
    const StoredResults results = call.room.Results();
    json labels = json::array();
    for (const std::string& column : results.columns) {
      labels.push_back(std::string(report::ColumnLabel(column)));
    }
    SendJson(call.res, 200,
             {{"table", results.table},
              {"columns", results.columns},
              {"labels", labels},
              {"rows", results.rows},
              {"room", call.name},
              {"board", call.room.Board()}});
  });
  // A roster checked before a sitting is made with it: every row, or the row and column that
  // is wrong; nothing is kept.
  Add("POST", "/api/rosters/check", [this](const auto& req, auto& res, const Parameters&) {
    RequireStaff(req, Power::kRun);
    const auto form = ParseMultipartForm(req.HeaderValue("Content-Type"), req.body);
    const FormPart* roster_part = form ? FindFormPart(*form, "roster") : nullptr;
    if (!roster_part) throw RoomError(400, "請以 multipart/form-data 送出 roster（CSV 檔）");
    const std::vector<Candidate> roster = ParseRoster(roster_part->content);
    std::map<std::string, int> classes;
    json candidates = json::array();
    for (const Candidate& candidate : roster) {
      ++classes[candidate.ClassName];
      candidates.push_back({{"UserID", candidate.UserID},
                            {"StuName", candidate.StuName},
                            {"ClassName", candidate.ClassName},
                            {"SeatNo", candidate.SeatNo},
                            {"AccessCode", !candidate.AccessCode.empty()}});
    }
    json class_counts = json::array();
    for (const auto& [name, count] : classes) {
      class_counts.push_back({{"ClassName", name}, {"count", count}});
    }
    SendJson(res, 200,
             {{"count", roster.size()}, {"classes", class_counts}, {"candidates", candidates}});
  });

  // The administrator's papers: made from pasted text as keyin-tool make-lib makes them, in the
  // program folder's lib/ (where a sitting's LibPath finds them as <program folder>/lib/).
  const auto paper_body = [](const http::Request& req) {
    const json body = BodyObject(req);
    const std::string paper = StringField(body, "ExamPaperNo");
    if (!IsSafeName(paper, 40)) {
      throw RoomError(400, "試卷編號 ExamPaperNo 只能用英文字母、數字、- 和 _");
    }
    return std::tuple{paper, MakePaper(StringField(body, "part1"), StringField(body, "part2")),
                      body.value("replace", false)};
  };
  Add("GET", "/api/papers", [this](const auto& req, auto& res, const Parameters&) {
    RequireAdministrator(req);
    json papers = json::array();
    for (const std::string& name : FileNames(PapersFolder())) {
      if (!name.ends_with(".LIB")) continue;
      const std::string paper = name.substr(0, name.size() - 4);
      papers.push_back({{"ExamPaperNo", paper}, {"in_use", RoomsUsingPaper(paper)}});
    }
    SendJson(res, 200, papers);
  });
  Add("POST", "/api/papers/preview",
      [this, paper_body](const auto& req, auto& res, const Parameters&) {
        RequireAdministrator(req);
        const auto [paper, made, replace] = paper_body(req);
        SendJson(res, 200,
                 {{"ExamPaperNo", paper},
                  {"parts", made.parts},
                  {"exists", IsNormalFile(PapersFolder() + "/" + paper + ".LIB")},
                  {"in_use", RoomsUsingPaper(paper)}});
      });
  Add("POST", "/api/papers", [this, paper_body](const auto& req, auto& res, const Parameters&) {
    const StaffSession staff = RequireAdministrator(req);
    const auto [paper, made, replace] = paper_body(req);
    const std::string path = PapersFolder() + "/" + paper + ".LIB";
    if (const json rooms = RoomsUsingPaper(paper); !rooms.empty()) {
      throw RoomError(
          409, "考場 " + rooms[0].get<std::string>() + " 正在用這份試卷，考試結束前不能更改它");
    }
    if (IsNormalFile(path) && !replace) {
      throw RoomError(409, "已有試卷 " + paper + "；要取代它請勾選「取代現有的試卷」",
                      "paper-exists");
    }
    try {
      CreateFolders(PapersFolder());
      WriteFileDurably(path, made.bytes, 0644);
    } catch (const FileError& failure) {
      Log("paper " + paper + ": cannot write it: " + failure.what());
      throw RoomError(503, "無法寫入試卷檔，請檢查伺服器的磁碟後再試", "storage");
    }
    Log("act: " + staff.who + " paper " + paper + (replace ? " replaced" : " made"));
    SendJson(res, 200, {{"ExamPaperNo", paper}, {"parts", made.parts}});
  });
  // A corrected paper's logged runs scored again: a dry run shows the table, then the real one.
  Add("POST", "/api/papers/{paper}/rescore",
      [this](const auto& req, auto& res, const Parameters& parameters) {
        const StaffSession staff = RequireAdministrator(req);
        const std::string& paper = parameters[0];
        if (!IsSafeName(paper, 40)) throw RoomError(404, "沒有這份試卷");
        const bool dry_run = BodyObject(req).value("dry_run", true);
        if (const json rooms = RoomsUsingPaper(paper); !rooms.empty()) {
          throw RoomError(409, "考場 " + rooms[0].get<std::string>() +
                                   " 正在用這份試卷，考試結束後才能重新評分");
        }
        if (!rescore->Start(paper, dry_run, staff.who)) {
          throw RoomError(409, "另一次重新評分還在進行，請等它結束", "rescore-running");
        }
        SendJson(res, 202, rescore->State());
      });
  Add("GET", "/api/rescore", [this](const auto& req, auto& res, const Parameters&) {
    RequireAdministrator(req);
    SendJson(res, 200, rescore->State());
  });

  // The administrator's accounts, changed as keyin-tool accounts changes them.
  const auto account_list = [this](const StaffSession& staff) {
    json accounts = json::array();
    for (const Account& account : ReadAccounts(centre.ProgramFolder())) {
      accounts.push_back({{"name", account.name}, {"role", RoleName(account.role)}});
    }
    return json{{"accounts", accounts}, {"you", staff.who}};
  };
  const auto new_password = [](const json& body) {
    const std::string password = StringField(body, "password");
    if (password.size() < 8) throw RoomError(400, "密碼至少要 8 個字元");
    if (password.size() > 1024) throw RoomError(400, "密碼太長了（最多 1024 個字元）");
    return HashPassword(password);
  };
  Add("GET", "/api/accounts", [this, account_list](const auto& req, auto& res, const Parameters&) {
    SendJson(res, 200, account_list(RequireAdministrator(req)));
  });
  Add("POST", "/api/accounts",
      [this, account_list, new_password](const auto& req, auto& res, const Parameters&) {
        const StaffSession staff = RequireAdministrator(req);
        const json body = BodyObject(req);
        const std::string name = StringField(body, "name");
        const std::optional<Role> role = RoleNamed(StringField(body, "role"));
        if (!IsAccountName(name)) {
          throw RoomError(400, "帳號只含英文字母、數字、.、- 或 _，最多 32 字");
        }
        if (!role) throw RoomError(400, "角色是 administrator、proctor 或 teacher");
        const std::string hash = new_password(body);
        ChangeAccountsFile(staff, "account-add", [&](std::vector<Account>& accounts) {
          if (std::any_of(accounts.begin(), accounts.end(),
                          [&](const Account& a) { return a.name == name; })) {
            throw RoomError(409, "已有帳號 " + name, "account-exists");
          }
          accounts.push_back({name, *role, hash});
          return "added " + name + " (" + std::string(RoleName(*role)) + ")";
        });
        SendJson(res, 200, account_list(staff));
      });
  // The account of the path, for a change of it: 404 when there is none.
  const auto existing = [](std::vector<Account>& accounts, const std::string& name) {
    auto found = std::find_if(accounts.begin(), accounts.end(),
                              [&](const Account& a) { return a.name == name; });
    if (found == accounts.end()) throw RoomError(404, "沒有帳號 " + name);
    return found;
  };
  Add("POST", "/api/accounts/{name}/password",
      [this, account_list, new_password, existing](const auto& req, auto& res,
                                                   const Parameters& path) {
        const StaffSession staff = RequireAdministrator(req);
        const std::string hash = new_password(BodyObject(req));
        ChangeAccountsFile(staff, "account-passwd", [&](std::vector<Account>& accounts) {
          existing(accounts, path[0])->password_hash = hash;
          return "new password for " + path[0];
        });
        // Whoever signed in with the old password signs in again; the one who changed it stays.
        DropSessionsOf(path[0],
                       CookieValue(req.HeaderValue("Cookie"), kProctorCookie).value_or(""));
        SendJson(res, 200, account_list(staff));
      });
  Add("DELETE", "/api/accounts/{name}",
      [this, account_list, existing](const auto& req, auto& res, const Parameters& path) {
        const StaffSession staff = RequireAdministrator(req);
        if (path[0] == staff.who) throw RoomError(409, "不能刪除自己正在使用的帳號");
        ChangeAccountsFile(staff, "account-remove", [&](std::vector<Account>& accounts) {
          accounts.erase(existing(accounts, path[0]));
          return "removed " + path[0];
        });
        DropSessionsOf(path[0]);
        SendJson(res, 200, account_list(staff));
      });

  // Teachers' results across every room and sitting.
  const auto selection_of = [](const http::Request& req) {
    return ParseHistorySelection([&req](std::string_view name) { return req.QueryValue(name); });
  };
  Add("GET", "/api/history", [this, selection_of](const auto& req, auto& res, const Parameters&) {
    RequireReader(req);
    SendJson(res, 200, HistoryTable(ReadHistory(ProgramFolderOfRooms(), selection_of(req))));
  });
  Add("GET", "/api/history.csv",
      [this, selection_of](const auto& req, auto& res, const Parameters&) {
        RequireReader(req);
        const bool cp950 = req.QueryValue("encoding") == std::optional<std::string>("cp950");
        std::optional<std::string> bytes =
            HistoryCsv(ReadHistory(ProgramFolderOfRooms(), selection_of(req)), cp950);
        if (!bytes) {
          throw RoomError(400, "有些字 Big5（cp950）沒有，請改下載 UTF-8 的 CSV");
        }
        res.SetHeader("Content-Disposition", "attachment; filename=\"results.csv\"");
        res.SetHeader("Content-Type", cp950 ? "text/csv; charset=big5" : "text/csv; charset=utf-8");
        res.body = std::move(*bytes);
      });
  Add("GET", "/api/history.json",
      [this, selection_of](const auto& req, auto& res, const Parameters&) {
        RequireReader(req);
        SendJson(res, 200, HistoryTable(ReadHistory(ProgramFolderOfRooms(), selection_of(req))));
        res.SetHeader("Content-Disposition", "attachment; filename=\"results.json\"");
      });
  Add("GET", "/api/history/report.html",
      [this, selection_of](const auto& req, auto& res, const Parameters&) {
        RequireReader(req);
        const HistorySelection selection = selection_of(req);
        SendHtml(res, HistoryReport(ReadHistory(ProgramFolderOfRooms(), selection), selection,
                                    FormatDateTime(LocalNow(), "yyyy/MM/dd HH:mm:ss")));
        res.SetHeader("Content-Security-Policy", kReportPolicy);
      });
  Add("GET", "/api/history/candidate", [this](const auto& req, auto& res, const Parameters&) {
    RequireReader(req);
    const std::optional<std::string> user = req.QueryValue("user");
    if (!user || !IsSafeName(*user, 20)) throw RoomError(400, "請給考生編號 user");
    HistorySelection selection;
    selection.filter.user = Utf8ToUtf16(*user);
    SendJson(res, 200, CandidateHistory(ReadHistory(ProgramFolderOfRooms(), selection), *user));
  });
  // A candidate's drill, for the teacher: the characters and lines, or the custom text itself.
  const auto drill_of = [this](const http::Request& req) {
    const std::optional<std::string> user = req.QueryValue("user");
    if (!user || !IsSafeName(*user, 20)) throw RoomError(400, "請給考生編號 user");
    const std::string method = req.QueryValue("method").value_or("");
    const json methods = MethodNames();
    if (!method.empty() && std::find(methods.begin(), methods.end(), method) == methods.end()) {
      throw RoomError(400, "沒有這個輸入法：" + method);
    }
    std::lock_guard making(drill_making);
    return DrillOfCandidate(options.tool, ProgramFolderOfRooms(), *user, method);
  };
  Add("GET", "/api/history/drill", [this, drill_of](const auto& req, auto& res, const Parameters&) {
    RequireReader(req);
    SendJson(res, 200, drill_of(req));
  });
  Add("GET", "/api/history/drill.cus",
      [this, drill_of](const auto& req, auto& res, const Parameters&) {
        RequireReader(req);
        const json drill = drill_of(req);
        const std::vector<std::string> lines = drill["lines"].get<std::vector<std::string>>();
        if (lines.empty()) throw RoomError(409, "這位考生目前沒有需要加強的字", "no-drill");
        res.SetHeader("Content-Disposition",
                      "attachment; filename=\"DRILL-" + *req.QueryValue("user") + ".cus\"");
        res.SetHeader("Content-Type", "application/octet-stream");
        res.body = CustomTextBytes(lines);
      });
  Add("GET", "/api/history/sittings", [this](const auto& req, auto& res, const Parameters&) {
    RequireReader(req);
    SendJson(res, 200, RecordedSittings(ProgramFolderOfRooms()));
  });
  AddRoomRoute("GET", "/results.csv", Power::kRead, [](const RoomCall& call) {
    const StoredResults results = call.room.Results();
    call.res.SetHeader("Content-Disposition", "attachment; filename=\"results.csv\"");
    call.res.SetHeader("Content-Type", "text/csv; charset=utf-8");
    call.res.body = ResultsCsv(results);
  });
}

// What a request is, for the counters: the calls whose latency a person feels.
enum class Counted { kNone, kCandidateSignIn, kStaffSignIn, kSave, kSubmit };

Counted CountedOf(const http::Request& req) {
  if (req.method == "PUT" && req.path == "/api/candidate/draft") return Counted::kSave;
  if (req.method != "POST") return Counted::kNone;
  if (req.path == "/api/candidate/submit") return Counted::kSubmit;
  if (req.path == "/api/candidate/sign-in") return Counted::kCandidateSignIn;
  if (req.path == "/api/proctor/sign-in") return Counted::kStaffSignIn;
  return Counted::kNone;
}

void HttpFrontEnd::State::Count(const http::Request& req, const http::Response& res,
                                double seconds) {
  ServerMetrics& metrics = *options.metrics;
  const bool ok = res.status == 200;
  switch (CountedOf(req)) {
    case Counted::kCandidateSignIn:
    case Counted::kStaffSignIn:
      metrics.SignIn(CountedOf(req) == Counted::kStaffSignIn ? "staff" : "candidate",
                     ok                  ? "ok"
                     : res.status == 401 ? "refused"
                     : res.status == 429 ? "throttled"
                                         : "failed",
                     seconds);
      break;
    case Counted::kSave:
      metrics.Save(ok ? "ok" : "refused", seconds);
      break;
    case Counted::kSubmit:
      metrics.Submit(ok ? "ok" : "refused", seconds);
      break;
    case Counted::kNone:
      break;
  }
  if (res.status == 500) metrics.Failure("internal");
  if (res.status == 503 && res.body.find("\"code\":\"storage\"") != std::string::npos) {
    metrics.Failure("storage");
  }
}

void HttpFrontEnd::State::Handle(const http::Request& req, http::Response& res) {
  const std::int64_t started = SteadyMillisNow();
  HandleRoutes(req, res);
  Count(req, res, static_cast<double>(SteadyMillisNow() - started) / 1000);
  // Every refusal of a call, for the journal: the path without its query, never a body.
  if (res.status >= 400 && req.path.starts_with("/api/")) {
    Log("refused " + std::to_string(res.status) + ": " + req.method + " " + req.path + " from " +
        req.remote_address);
  }
}

void HttpFrontEnd::State::HandleRoutes(const http::Request& req, http::Response& res) {
  const bool candidate = req.path.starts_with("/api/candidate/");
  const bool guarded = req.path.starts_with("/api/") || req.path == "/metrics";
  if (guarded &&
      !(candidate ? options.candidates_from : options.proctors_from).Allows(req.remote_address)) {
    SendError(res, 403,
              candidate ? "這台電腦不在考場的網路內，不能從這裡作答；請通知監考老師"
                        : "這台電腦不在允許監考的網路內");
  } else if (!router.Dispatch(req, res)) {
    if (req.method == "GET" || req.method == "HEAD") {
      // Pages: only the files of the web folder.
      std::string path = req.path;
      if (path.ends_with('/')) path += "index.html";
      auto found = files.find(path);
      if (found == files.end() || path.starts_with("/api/")) {
        SendError(res, 404, "找不到這一頁");
      } else {
        res.SetHeader("Content-Type", found->second.type);
        res.body = found->second.content;
      }
    } else {
      SendError(res, 404, "無法處理這個請求");
    }
  }
  Protect(req.path, res);
}

HttpFrontEnd::HttpFrontEnd(Centre& centre, FrontEndOptions options)
    : state_(std::make_unique<State>(centre, std::move(options))) {
  State& state = *state_;
  if (state.options.metrics == nullptr) {
    state.own_metrics = std::make_unique<ServerMetrics>();
    state.options.metrics = state.own_metrics.get();
  }
  state.files = LoadWebFiles(state.options.web_folder);
  state.rescore = std::make_unique<PaperRescore>(
      state.options.tool, [&state](std::string_view line) { state.Log(line); });
  state.secure = !state.options.tls_certificate.empty();
  state.AddRoutes();

  http::ServerOptions server;
  server.body_limit = state.options.body_limit;
  server.connections_per_address = state.options.connections_per_address;
  server.worker_threads = state.options.worker_threads;
  server.tls_certificate = state.options.tls_certificate;
  server.tls_key = state.options.tls_key;
  server.error_page = RefusalPage;
  server.log = [&state](std::string_view line) { state.Log(line); };
  state.server = std::make_unique<http::Server>(
      [&state](const http::Request& req, http::Response& res) { state.Handle(req, res); },
      std::move(server));
}

HttpFrontEnd::~HttpFrontEnd() = default;

std::optional<int> HttpFrontEnd::Bind(const std::string& host, int port) {
  return state_->server->Bind(host, port);
}

bool HttpFrontEnd::Serve() { return state_->server->Serve(); }

void HttpFrontEnd::Stop() { state_->server->Stop(); }

}  // namespace keyin::server
