#include "server/history.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/code_page.h"
#include "platform/system_services.h"
#include "records/sitting_candidates.h"
#include "report/class_report.h"
#include "report/results_export.h"
#include "run/run_kind.h"
#include "server/seat_rules.h"

namespace keyin::server {

using nlohmann::json;
using report::ResultKind;
using report::Role;

namespace {

constexpr std::size_t kMostMissed = 20;

std::string Text(const report::StoredValue* value) {
  return value == nullptr ? std::string() : Utf16ToUtf8(report::ValueText(*value));
}

// The kind of stored row a recorded sitting's TestType keeps, or nothing.
std::optional<ResultKind> ResultKindOfTestType(const std::string& test_type) {
  RunParams params;
  params.TestType = Utf8ToUtf16(test_type);
  const RunKind kind = KindOfRun(params);
  if (kind == RunKind::kExam) return ResultKind::kExam;
  if (kind == RunKind::kMockTest) return ResultKind::kMock;
  if (kind == RunKind::kOfflineExam) return ResultKind::kOffline;
  if (IsArticlePractice(kind)) return ResultKind::kPractice;
  return std::nullopt;
}

// Every recorded sitting's candidates, from both databases (one on a server, read twice).
std::vector<SittingCandidate> AllRecorded(const std::string& program_folder) {
  std::vector<SittingCandidate> all;
  std::set<std::pair<std::string, std::string>> seen;
  for (const ResultKind kind : {ResultKind::kExam, ResultKind::kMock}) {
    for (SittingCandidate& candidate :
         ReadSittingCandidates(*OpenResultsStore(program_folder, kind))) {
      if (seen.emplace(candidate.sitting_id, candidate.user_id).second) {
        all.push_back(std::move(candidate));
      }
    }
  }
  return all;
}

}  // namespace

HistorySelection ParseHistorySelection(
    const std::function<std::optional<std::string>(std::string_view)>& query) {
  HistorySelection selection;
  const auto text = [&](std::string_view name, const char16_t* label,
                        std::optional<std::u16string>& into) {
    std::optional<std::string> value = query(name);
    if (!value || value->empty()) return;
    if (value->size() > 64 || !Utf8ToUtf16Strict(*value)) {
      throw RoomError(400, "查詢條件 " + std::string(name) + " 太長或不是 UTF-8");
    }
    into = Utf8ToUtf16(*value);
    selection.labels.emplace_back(label, *into);
  };
  if (std::optional<std::string> kind = query("kind"); kind && !kind->empty()) {
    const std::optional<ResultKind> named = report::KindNamed(*kind);
    if (!named) throw RoomError(400, "類別 kind 必須是 exam、offline、mock 或 practice");
    selection.kinds.push_back(*named);
    selection.labels.emplace_back(u"類別", std::u16string(report::KindLabel(*named)));
  }
  text("class", u"班級", selection.filter.class_name);
  text("user", u"帳號", selection.filter.user);
  text("paper", u"試卷", selection.filter.paper);
  for (const auto& [name, into] :
       {std::pair{"from", &selection.filter.from}, std::pair{"to", &selection.filter.to}}) {
    std::optional<std::string> day = query(name);
    if (!day || day->empty()) continue;
    std::replace(day->begin(), day->end(), '-', '/');  // as a date field gives it
    if (!IsDay(Utf8ToUtf16(*day))) throw RoomError(400, "日期請寫成 yyyy/MM/dd");
    *into = Utf8ToUtf16(*day);
  }
  const ResultsFilter& filter = selection.filter;
  if (filter.from || filter.to) {
    selection.labels.emplace_back(u"日期", filter.from && filter.to
                                               ? *filter.from + u" 至 " + *filter.to
                                           : filter.from ? *filter.from + u" 起"
                                                         : u"至 " + *filter.to);
  }
  if (std::optional<std::string> sitting = query("sitting"); sitting && !sitting->empty()) {
    if (!IsSafeName(*sitting, 64)) throw RoomError(400, "場次代號不對");
    selection.sitting = *sitting;
    selection.labels.emplace_back(u"場次", Utf8ToUtf16(*sitting));
  }
  return selection;
}

std::vector<report::StoredResult> ReadHistory(const std::string& program_folder,
                                              const HistorySelection& selection) {
  std::vector<ResultKind> kinds = selection.kinds;
  if (kinds.empty()) kinds.assign(report::kAllKinds.begin(), report::kAllKinds.end());
  ResultsFilter filter = selection.filter;
  // A sitting: its kind and paper, since it opened, and then only its candidates.
  std::set<std::string> candidates;  // UserID, or session and seat for an offline exam
  if (!selection.sitting.empty()) {
    std::optional<SittingCandidate> first;
    for (const SittingCandidate& candidate : AllRecorded(program_folder)) {
      if (candidate.sitting_id != selection.sitting) continue;
      if (!first) first = candidate;
      candidates.insert(candidate.user_id);
      candidates.insert(candidate.session_no + candidate.seat_no);
    }
    const std::optional<ResultKind> kind =
        first ? ResultKindOfTestType(first->test_type) : std::nullopt;
    if (!kind || std::find(kinds.begin(), kinds.end(), *kind) == kinds.end()) return {};
    kinds = {*kind};
    if (filter.paper && *filter.paper != Utf8ToUtf16(first->exam_paper_no)) return {};
    filter.paper = Utf8ToUtf16(first->exam_paper_no);
    if (!FilterColumn(*kind, FilterField::kSince).empty() && !filter.since) {
      filter.since = Utf8ToUtf16(first->opened_at);
    }
  }
  std::erase_if(kinds, [&](ResultKind kind) { return !BuildResultsQuery(kind, filter); });
  std::vector<report::StoredResult> results = ReadSelection(program_folder, kinds, filter);
  if (!selection.sitting.empty()) {
    std::erase_if(results, [&](const report::StoredResult& row) {
      const Role role = row.kind == ResultKind::kOffline ? Role::kSeat : Role::kUser;
      return !candidates.contains(Text(report::ValueOf(row, role)));
    });
  }
  return results;
}

json HistoryTable(const std::vector<report::StoredResult>& results) {
  std::vector<const report::StoredResult*> pointers;
  for (const report::StoredResult& result : results) pointers.push_back(&result);
  const report::SummaryTable table = report::Summarize(pointers);
  json columns = json::array();
  for (const auto& column : table.columns) {
    columns.push_back({{"label", Utf16ToUtf8(column.label)}, {"numeric", column.numeric}});
  }
  json rows = json::array();
  for (const auto& row : table.rows) {
    json cells = json::array();
    for (const std::u16string& cell : row) cells.push_back(Utf16ToUtf8(cell));
    rows.push_back(std::move(cells));
  }
  return {{"columns", columns}, {"rows", rows}, {"count", results.size()}};
}

std::optional<std::string> HistoryCsv(const std::vector<report::StoredResult>& results,
                                      bool cp950) {
  std::vector<const report::StoredResult*> pointers;
  for (const report::StoredResult& result : results) pointers.push_back(&result);
  const std::u16string text = report::SummaryCsv(report::Summarize(pointers), !cp950);
  if (cp950) return Utf16ToCp950Exact(text);
  return Utf16ToUtf8(text);
}

std::string HistoryReport(const std::vector<report::StoredResult>& results,
                          const HistorySelection& selection, const std::string& generated_at) {
  report::ClassReportInput input;
  input.results = results;
  input.selection = selection.labels;
  input.generated_at = Utf8ToUtf16(generated_at);
  return Utf16ToUtf8(report::ClassReport(input));
}

json CandidateHistory(const std::vector<report::StoredResult>& results,
                      const std::string& user_id) {
  json history = {{"UserID", user_id}, {"StuName", ""}, {"ClassName", ""}};
  std::vector<std::pair<double, json>> points;
  for (const report::StoredResult& row : results) {
    if (const std::string name = Text(report::ValueOf(row, Role::kName)); !name.empty()) {
      history["StuName"] = name;
    }
    if (const std::string class_name = Text(report::ValueOf(row, Role::kClass));
        !class_name.empty()) {
      history["ClassName"] = class_name;
    }
    // The reviewed mark; a test with its first part only shows that part's.
    std::optional<report::Mark> mark = report::MarkOf(row);
    const std::optional<double> speed1 = report::NumberOf(report::ValueOf(row, Role::kScore1));
    const std::optional<double> error1 = report::NumberOf(report::ValueOf(row, Role::kErr1));
    if (!mark && speed1 && error1) mark = report::Mark{*speed1, *error1};
    const report::StoredValue* date = report::ValueOf(row, Role::kDate);
    const auto* date_text = date == nullptr ? nullptr : std::get_if<std::u16string>(date);
    const std::optional<double> day = date_text ? report::DayNumber(*date_text) : std::nullopt;
    if (!mark || !day) continue;  // a row without a time (offline) or a mark has no point
    points.emplace_back(*day, json{{"date", Text(date)},
                                   {"kind", Utf16ToUtf8(report::KindLabel(row.kind))},
                                   {"paper", Text(report::ValueOf(row, Role::kPaper))},
                                   {"speed", mark->speed},
                                   {"error_rate", mark->error_rate}});
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  history["points"] = json::array();
  for (auto& [day, point] : points) history["points"].push_back(std::move(point));
  history["missed"] = json::array();
  for (const report::CharacterCount& missed : report::MostWrongCharacters(results, kMostMissed)) {
    history["missed"].push_back(
        {{"character", Utf16ToUtf8(missed.character)}, {"count", missed.count}});
  }
  return history;
}

json RecordedSittings(const std::string& program_folder) {
  struct Sitting {
    json info;
    int candidates = 0;
  };
  std::map<std::string, Sitting> sittings;
  for (const SittingCandidate& candidate : AllRecorded(program_folder)) {
    Sitting& sitting = sittings[candidate.sitting_id];
    if (sitting.candidates++ == 0) {
      const std::optional<ResultKind> kind = ResultKindOfTestType(candidate.test_type);
      sitting.info = {{"id", candidate.sitting_id},
                      {"room", candidate.room},
                      {"opened_at", candidate.opened_at},
                      {"kind", kind ? Utf16ToUtf8(report::KindLabel(*kind)) : ""},
                      {"paper", candidate.exam_paper_no},
                      {"session", candidate.session_no}};
    }
  }
  std::vector<json> newest_first;
  for (auto& [id, sitting] : sittings) {
    sitting.info["candidates"] = sitting.candidates;
    newest_first.push_back(std::move(sitting.info));
  }
  std::stable_sort(newest_first.begin(), newest_first.end(), [](const json& a, const json& b) {
    return a["opened_at"].get<std::string>() > b["opened_at"].get<std::string>();
  });
  return newest_first;
}

}  // namespace keyin::server
