#include "server/sitting.h"

#include <algorithm>
#include <set>

#include "platform/code_page.h"
#include "platform/system_services.h"
#include "server/accounts.h"
#include "support/number_text.h"
#include "support/text.h"

namespace keyin::server {

using nlohmann::json;

bool IsSafeName(std::string_view text, std::size_t max_length) {
  if (text.empty() || text.size() > max_length) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
           c == '_';
  });
}

namespace {

// "2026-12-08 09:00", "2026/12/08 09:00:00", or a form's "2026-12-08T09:00": a date and a time,
// of a year the room's clock can take (the time is turned into milliseconds since 1970).
std::optional<DateTime> ParseOpens(std::string_view text) {
  std::string normal(text);
  std::replace(normal.begin(), normal.end(), 'T', ' ');
  const std::size_t blank = normal.find(' ');
  if (blank == std::string::npos) return std::nullopt;
  if (std::count(normal.begin() + static_cast<std::ptrdiff_t>(blank), normal.end(), ':') == 1) {
    normal += ":00";
  }
  std::optional<DateTime> time = ParseDateTime(normal);
  if (time && (time->year < 2000 || time->year > 2999)) return std::nullopt;
  return time;
}

}  // namespace

bool LiesUnder(std::string_view path, std::string_view root) {
  const auto components = [](std::string_view text) {
    std::vector<std::string_view> parts;
    while (!text.empty()) {
      const std::size_t slash = text.find('/');
      const std::string_view part = text.substr(0, slash);
      if (!part.empty() && part != ".") parts.push_back(part);
      if (slash == std::string_view::npos) break;
      text.remove_prefix(slash + 1);
    }
    return parts;
  };
  if (!path.starts_with('/') || !root.starts_with('/')) return false;
  const std::vector<std::string_view> in = components(path);
  const std::vector<std::string_view> under = components(root);
  if (std::find(in.begin(), in.end(), "..") != in.end()) return false;
  if (std::find(under.begin(), under.end(), "..") != under.end()) return false;
  return in.size() >= under.size() && std::equal(under.begin(), under.end(), in.begin());
}

namespace {

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

// A text field: a JSON text, or a number written in its shortest form.
std::string TextField(const json& object, const char* name, bool required) {
  if (!object.contains(name) || object[name].is_null()) {
    if (required) throw SittingError(std::string("缺少欄位 ") + name);
    return {};
  }
  const json& value = object[name];
  std::string text;
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (value.is_number()) {
    text = Utf16ToUtf8(FormatNumber(value.get<double>()));
  } else {
    throw SittingError(std::string("欄位 ") + name + " 必須是文字或數字");
  }
  if (!Utf8ToUtf16Strict(text)) throw SittingError(std::string("欄位 ") + name + " 不是 UTF-8");
  if (text.find(',') != std::string::npos || HasControlCharacter(text)) {
    throw SittingError(std::string("欄位 ") + name + " 不可含逗號或控制字元");
  }
  if (text.size() > 200) throw SittingError(std::string("欄位 ") + name + " 太長");
  return text;
}

std::string FolderField(const json& object, const char* name) {
  std::string path = TextField(object, name, true);
  if (path.empty()) throw SittingError(std::string("欄位 ") + name + " 不可空白");
  if (path.back() != '/' && path.back() != '\\') path += '/';
  return path;
}

std::string Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace

Sitting SittingFromJson(const json& object) {
  if (!object.is_object()) throw SittingError("場次設定必須是 JSON 物件");
  Sitting sitting;
  sitting.ExamPlaceNo = TextField(object, "ExamPlaceNo", true);
  sitting.ExamNo = TextField(object, "ExamNo", true);
  sitting.ExamPaperNo = TextField(object, "ExamPaperNo", true);
  if (!IsSafeName(sitting.ExamPaperNo, 40)) {
    throw SittingError("試卷編號 ExamPaperNo 只能用英文字母、數字、- 和 _");
  }
  sitting.TestType = TextField(object, "TestType", true);
  static const std::set<std::string> kKinds = {"0", "1", "2", "3", "4", "5", "7"};
  if (!kKinds.contains(sitting.TestType)) {
    throw SittingError("測驗種類 TestType 必須是 0、1、2、3、4、5 或 7");
  }
  sitting.SessionNo = TextField(object, "SessionNo", true);
  if (!IsSafeName(sitting.SessionNo, 10)) {
    throw SittingError("場次 SessionNo 只能用英文字母、數字、- 和 _（至多 10 個）");
  }
  sitting.TotTime = TextField(object, "TotTime", true);
  const std::optional<double> seconds = ParseNumber(Utf8ToUtf16(sitting.TotTime));
  if (!seconds || *seconds < 1 || *seconds > 86400 || *seconds != static_cast<int>(*seconds) ||
      !IsSafeName(sitting.TotTime, 5)) {
    throw SittingError("測驗時間 TotTime 必須是 1 到 86400 的整數秒數");
  }
  sitting.SubtractScore = TextField(object, "SubtractScore", false);
  if (sitting.SubtractScore.empty()) sitting.SubtractScore = "0";
  const std::optional<double> deduction = ParseNumber(Utf8ToUtf16(sitting.SubtractScore));
  if (!deduction || *deduction < 0 || *deduction > 100) {
    throw SittingError("每錯扣分 SubtractScore 必須是 0 到 100 的數字");
  }
  sitting.LibPath = FolderField(object, "LibPath");
  sitting.ScrPath = FolderField(object, "ScrPath");
  if (!object.contains("ShowResults") || !object["ShowResults"].is_boolean()) {
    throw SittingError("ShowResults 必須是 true 或 false");
  }
  sitting.ShowResults = object["ShowResults"].get<bool>();
  if (object.contains("CustomText") && !object["CustomText"].is_null()) {
    const json& text = object["CustomText"];
    if (!text.is_string()) throw SittingError("自建文章 CustomText 必須是文字");
    if (!ScoresCustomText(KindOf(sitting))) {
      throw SittingError("自建文章只用於測驗種類 0");
    }
    std::string all = text.get<std::string>();
    if (!Utf8ToUtf16Strict(all)) throw SittingError("自建文章不是 UTF-8");
    std::size_t start = 0;
    while (start <= all.size()) {
      std::size_t end = all.find('\n', start);
      if (end == std::string::npos) end = all.size();
      std::string line = all.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!Trim(line).empty()) sitting.CustomText.push_back(line);
      start = end + 1;
    }
    if (sitting.CustomText.empty()) throw SittingError("自建文章是空的");
  }
  if (object.contains("SignIn") && !object["SignIn"].is_null()) {
    sitting.SignIn = TextField(object, "SignIn", true);
    if (sitting.SignIn != "code" && sitting.SignIn != "proctor" &&
        sitting.SignIn != "code+proctor") {
      throw SittingError("登入方式 SignIn 必須是 code、proctor 或 code+proctor");
    }
  }
  sitting.Room = sitting.SessionNo;
  if (object.contains("Room") && !object["Room"].is_null()) {
    sitting.Room = TextField(object, "Room", true);
    if (!IsSafeName(sitting.Room, 32)) {
      throw SittingError("考場 Room 只能用英文字母、數字、- 和 _（至多 32 個）");
    }
  }
  if (object.contains("Opens") && !object["Opens"].is_null() && object["Opens"] != "") {
    const std::optional<DateTime> opens = ParseOpens(TextField(object, "Opens", true));
    if (!opens) throw SittingError("開始時間 Opens 必須是日期和時間，例如 2026-12-08 09:00");
    sitting.Opens = FormatDateTime(*opens, "yyyy/MM/dd HH:mm");
  }
  if (object.contains("Proctors") && !object["Proctors"].is_null()) {
    const json& proctors = object["Proctors"];
    if (!proctors.is_array()) throw SittingError("監考帳號 Proctors 必須是帳號名稱的清單");
    for (const json& name : proctors) {
      if (!name.is_string() || !IsAccountName(name.get<std::string>())) {
        throw SittingError("監考帳號 Proctors 只能列出帳號名稱");
      }
      sitting.Proctors.push_back(name.get<std::string>());
    }
  }
  return sitting;
}

std::optional<DateTime> OpensAt(const Sitting& sitting) {
  if (sitting.Opens.empty()) return std::nullopt;
  return ParseOpens(sitting.Opens);
}

bool AsksAccessCode(const Sitting& sitting) { return sitting.SignIn != "proctor"; }
bool AsksAdmission(const Sitting& sitting) { return sitting.SignIn != "code"; }

json SittingToJson(const Sitting& sitting) {
  json object = {{"ExamPlaceNo", sitting.ExamPlaceNo},
                 {"ExamNo", sitting.ExamNo},
                 {"ExamPaperNo", sitting.ExamPaperNo},
                 {"TestType", sitting.TestType},
                 {"SessionNo", sitting.SessionNo},
                 {"TotTime", sitting.TotTime},
                 {"SubtractScore", sitting.SubtractScore},
                 {"LibPath", sitting.LibPath},
                 {"ScrPath", sitting.ScrPath},
                 {"ShowResults", sitting.ShowResults},
                 {"SignIn", sitting.SignIn},
                 {"Room", sitting.Room}};
  if (!sitting.Proctors.empty()) object["Proctors"] = sitting.Proctors;
  if (!sitting.Opens.empty()) object["Opens"] = sitting.Opens;
  if (!sitting.CustomText.empty()) {
    std::string text;
    for (const std::string& line : sitting.CustomText) text += line + "\n";
    object["CustomText"] = text;
  }
  return object;
}

RunKind KindOf(const Sitting& sitting) {
  RunParams params;
  params.TestType = Utf8ToUtf16(sitting.TestType);
  return KindOfRun(params);
}

bool IsPractice(const Sitting& sitting) {
  const RunKind kind = KindOf(sitting);
  return IsArticlePractice(kind) || ScoresCustomText(kind);
}

int PartCount(const Sitting& sitting) {
  const RunKind kind = KindOf(sitting);
  return kind == RunKind::kCustomTextPractice || kind == RunKind::kSingleArticlePractice ? 1 : 2;
}

std::string RosterText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return Utf16ToUtf8(Utf8ToUtf16(bytes.substr(3)));  // bad bytes after a BOM become U+FFFD
  }
  if (Utf8ToUtf16Strict(bytes)) return std::string(bytes);
  return Utf16ToUtf8(Cp950ToUtf16(bytes));
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;         // inside a quoted field
  bool field_started = false;  // anything of the current record seen
  std::size_t record_number = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      field_started = true;
    } else if (c == ',') {
      record.push_back(std::move(field));
      field.clear();
      field_started = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      record.push_back(std::move(field));
      field.clear();
      records.push_back(std::move(record));
      record.clear();
      field_started = false;
      ++record_number;
    } else {
      field += c;
      field_started = true;
    }
  }
  if (quoted) {
    throw SittingError("名單第 " + std::to_string(record_number) + " 列的引號沒有結束");
  }
  if (field_started || !field.empty()) {
    record.push_back(std::move(field));
    records.push_back(std::move(record));
  }
  return records;
}

std::vector<Candidate> ParseRoster(std::string_view bytes) {
  const std::vector<std::vector<std::string>> records = ParseCsv(RosterText(bytes));
  const char* const kColumns[] = {"UserID", "StuName", "ClassName", "SeatNo"};
  std::size_t header_row = 0;
  while (header_row < records.size() &&
         std::all_of(records[header_row].begin(), records[header_row].end(),
                     [](const std::string& value) { return Trim(value).empty(); })) {
    ++header_row;
  }
  if (header_row == records.size()) throw SittingError("名單是空的");
  std::size_t column_of[4];
  for (int k = 0; k < 4; ++k) {
    const std::vector<std::string>& header = records[header_row];
    auto found = std::find_if(header.begin(), header.end(),
                              [&](const std::string& name) { return Trim(name) == kColumns[k]; });
    if (found == header.end()) {
      throw SittingError(std::string("名單的標題列缺少欄位 ") + kColumns[k] +
                         "（標題列須有 UserID、StuName、ClassName、SeatNo）");
    }
    column_of[k] = static_cast<std::size_t>(found - header.begin());
  }
  const std::vector<std::string>& header = records[header_row];
  const auto code_column = std::find_if(header.begin(), header.end(), [](const std::string& name) {
    return Trim(name) == "AccessCode";
  });
  std::vector<Candidate> roster;
  std::set<std::string> user_ids, seats;
  for (std::size_t row = header_row + 1; row < records.size(); ++row) {
    const std::vector<std::string>& record = records[row];
    if (std::all_of(record.begin(), record.end(),
                    [](const std::string& value) { return Trim(value).empty(); })) {
      continue;
    }
    const std::string where = "名單第 " + std::to_string(row + 1) + " 列：";
    std::string values[4];
    for (int k = 0; k < 4; ++k) {
      values[k] = column_of[k] < record.size() ? Trim(record[column_of[k]]) : std::string();
      if (values[k].find(',') != std::string::npos || HasControlCharacter(values[k])) {
        throw SittingError(where + kColumns[k] + " 不可含逗號或換行");
      }
      if (values[k].size() > 60) throw SittingError(where + kColumns[k] + " 太長");
    }
    Candidate candidate{values[0], values[1], values[2], values[3], {}};
    if (code_column != header.end()) {
      const auto column = static_cast<std::size_t>(code_column - header.begin());
      candidate.AccessCode = column < record.size() ? Trim(record[column]) : std::string();
      if (!candidate.AccessCode.empty() &&
          (candidate.AccessCode.size() < 4 || !IsSafeName(candidate.AccessCode, 20) ||
           candidate.AccessCode.find_first_of("-_") != std::string::npos)) {
        throw SittingError(where +
                           "AccessCode 必須是 4 到 20 個英文字母或數字（或留空，由系統產生）");
      }
    }
    if (!IsSafeName(candidate.UserID, 20)) {
      throw SittingError(where + "UserID 必須是 1 到 20 個英文字母、數字、- 或 _");
    }
    if (!IsSafeName(candidate.SeatNo, 10)) {
      throw SittingError(where + "SeatNo 必須是 1 到 10 個英文字母、數字、- 或 _");
    }
    if (!user_ids.insert(candidate.UserID).second) {
      throw SittingError(where + "UserID " + candidate.UserID + " 重複");
    }
    if (!seats.insert(candidate.SeatNo).second) {
      throw SittingError(where + "SeatNo " + candidate.SeatNo + " 重複");
    }
    roster.push_back(std::move(candidate));
  }
  if (roster.empty()) throw SittingError("名單沒有考生");
  if (roster.size() > 1000) throw SittingError("名單超過 1000 位考生");
  return roster;
}

json RosterToJson(const std::vector<Candidate>& roster) {
  json list = json::array();
  for (const Candidate& c : roster) {
    list.push_back({{"UserID", c.UserID},
                    {"StuName", c.StuName},
                    {"ClassName", c.ClassName},
                    {"SeatNo", c.SeatNo},
                    {"AccessCode", c.AccessCode}});
  }
  return list;
}

std::vector<Candidate> RosterFromJson(const json& list) {
  std::vector<Candidate> roster;
  for (const json& c : list) {
    roster.push_back({c.at("UserID").get<std::string>(), c.at("StuName").get<std::string>(),
                      c.at("ClassName").get<std::string>(), c.at("SeatNo").get<std::string>(),
                      c.value("AccessCode", std::string())});
  }
  return roster;
}

namespace {

std::string Normalized(std::string_view code) {
  std::string text = Trim(code);
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

bool AccessCodeMatches(std::string_view given, std::string_view expected) {
  const std::string expected_code = Normalized(expected);
  return !expected_code.empty() && ConstantTimeEquals(Normalized(given), expected_code);
}

std::vector<Candidate> MakeAccessCodes(std::vector<Candidate> roster,
                                       const std::function<std::string()>& draw) {
  for (Candidate& candidate : roster) {
    if (candidate.AccessCode.empty()) candidate.AccessCode = draw();
  }
  return roster;
}

bool SameRoster(const std::vector<Candidate>& stored, const std::vector<Candidate>& given) {
  return std::equal(stored.begin(), stored.end(), given.begin(), given.end(),
                    [](const Candidate& a, Candidate b) {
                      if (b.AccessCode.empty()) b.AccessCode = a.AccessCode;
                      return a == b;
                    });
}

}  // namespace keyin::server
