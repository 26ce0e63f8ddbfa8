// The class report. Statistics count only results with a mark (a reviewed score and error rate
// stored as numbers); the rest are listed after the ranked ones and said so above the charts.
// Charts mark each result's point with data-user, the test-taker's ID (the session and seat for
// offline exams, which store no ID), so a reader or a test can find one candidate's point.
#include "report/class_report.h"
#include "platform/utf8.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <numeric>

#include "report/html.h"
#include "report/svg.h"
#include "support/number_text.h"

namespace keyin::report {
namespace {

constexpr std::size_t kMostBins = 12;
constexpr std::size_t kWrongCharacterLimit = 30;
// Beyond this many points a chart's marks carry no tooltip: they overlap too much to point at,
// and the page of a whole school's year stays a few megabytes.
constexpr std::size_t kMostTooltips = 2000;

std::u16string TextOf(const StoredResult& result, Role role) {
  const StoredValue* value = ValueOf(result, role);
  return value == nullptr ? std::u16string() : ValueText(*value);
}

// Who a point or a history belongs to.
std::u16string CandidateOf(const StoredResult& result) {
  std::u16string user = TextOf(result, Role::kUser);
  return user.empty() ? TextOf(result, Role::kSeat) : user;
}

std::u16string NameAndId(const StoredResult& result) {
  const std::u16string name = TextOf(result, Role::kName);
  const std::u16string id = CandidateOf(result);
  if (name.empty()) return id;
  return id.empty() ? name : name + u"（" + id + u"）";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

svg::Marker MarkerOf(ResultKind kind) {
  switch (kind) {
    case ResultKind::kExam:
      return svg::Marker::kSquare;
    case ResultKind::kOffline:
      return svg::Marker::kDiamond;
    case ResultKind::kMock:
      return svg::Marker::kTriangle;
    case ResultKind::kPractice:
      break;
  }
  return svg::Marker::kCircle;
}

std::u16string DayLabel(double day_number) {
  using namespace std::chrono;
  const year_month_day date{sys_days{days{static_cast<int>(std::floor(day_number))}}};
  return FormatNumber(static_cast<unsigned>(date.month())) + u"/" +
         FormatNumber(static_cast<unsigned>(date.day()));
}

std::u16string BinLabel(const SpeedBin& bin, bool whole_speeds) {
  if (!whole_speeds) return FormatNumber(bin.low) + u"–" + FormatNumber(bin.high);
  if (bin.high - bin.low == 1) return FormatNumber(bin.low);
  return FormatNumber(bin.low) + u"–" + FormatNumber(bin.high - 1);
}

// --- the sections -------------------------------------------------------------------------------

struct Scored {
  const StoredResult* result;
  Mark mark;
};

std::u16string SelectionLine(const ClassReportInput& input) {
  std::u16string line = u"<p class=\"note\">";
  if (input.selection.empty()) {
    line += u"選取：全部成績";
  } else {
    line += u"選取：";
    for (std::size_t i = 0; i < input.selection.size(); ++i) {
      if (i > 0) line += u"；";
      line += html::EscapeText(input.selection[i].first) + u" " +
              html::EscapeText(input.selection[i].second);
    }
  }
  if (!input.generated_at.empty()) {
    line += u"　｜　製表時間：" + html::EscapeText(input.generated_at);
  }
  return line + u"</p>\n";
}

std::u16string SummarySection(const std::vector<Scored>& scored, std::size_t unmarked) {
  std::vector<ResultKind> kinds;
  for (const Scored& s : scored) {
    if (std::find(kinds.begin(), kinds.end(), s.result->kind) == kinds.end()) {
      kinds.push_back(s.result->kind);
    }
  }
  std::sort(kinds.begin(), kinds.end());
  const auto row = [](std::u16string label, const std::vector<Mark>& marks) {
    const Statistics statistics = StatisticsOf(marks);
    // No marks, no mean: a dash rather than a 0 that reads like a result.
    const auto shown = [&](std::u16string text) { return marks.empty() ? u"—" : text; };
    return std::vector<std::u16string>{std::move(label),
                                       FormatNumber(static_cast<double>(statistics.count)),
                                       shown(FormatOneDecimal(statistics.mean_speed)),
                                       shown(FormatNumber(statistics.median_speed)),
                                       shown(FormatOneDecimal(statistics.mean_error_rate)),
                                       shown(FormatNumber(statistics.median_error_rate))};
  };
  std::vector<std::vector<std::u16string>> rows;
  std::vector<Mark> all;
  for (const ResultKind kind : kinds) {
    std::vector<Mark> marks;
    for (const Scored& s : scored) {
      if (s.result->kind == kind) marks.push_back(s.mark);
    }
    rows.push_back(row(std::u16string(KindLabel(kind)), marks));
  }
  for (const Scored& s : scored) all.push_back(s.mark);
  if (kinds.size() != 1) rows.push_back(row(u"全部", all));
  std::u16string out = u"<section class=\"summary\">\n<h2>摘要</h2>\n";
  out += html::Table({{u"類別"},
                      {u"筆數", true},
                      {u"平均速度（字/分）", true},
                      {u"速度中位數", true},
                      {u"平均錯誤率（％）", true},
                      {u"錯誤率中位數", true}},
                     rows);
  if (unmarked > 0) {
    out += u"<p class=\"note\">另有 " + FormatNumber(static_cast<double>(unmarked)) +
           u" 筆尚無成績（例如只考了測驗一），不列入統計與圖表，列在成績一覽的最後。</p>\n";
  }
  return out + u"</section>\n";
}

std::u16string HistogramSection(const std::vector<Scored>& scored) {
  std::vector<double> speeds;
  bool whole = true;
  for (const Scored& s : scored) {
    speeds.push_back(s.mark.speed);
    whole = whole && s.mark.speed == std::trunc(s.mark.speed);
  }
  svg::BarChartData chart;
  chart.title = u"速度分布";
  chart.x_title = u"速度（字/分）";
  chart.y_title = u"筆數";
  for (const SpeedBin& bin : SpeedHistogram(speeds)) {
    std::u16string label = BinLabel(bin, whole);
    chart.bars.push_back(
        {label, static_cast<double>(bin.count),
         label + u" 字/分：" + FormatNumber(static_cast<double>(bin.count)) + u" 筆"});
  }
  return u"<section>\n<h2>速度分布</h2>\n<figure>" + svg::BarChart(chart) +
         u"<figcaption>每一長條是一個速度區間的成績筆數" +
         (whole ? u"（區間含兩端）" : u"（區間含下限、不含上限）") +
         u"。</figcaption></figure>\n</section>\n";
}

std::u16string ScatterSection(const std::vector<Scored>& scored) {
  svg::ScatterChartData chart;
  chart.title = u"速度與錯誤率";
  chart.x = {u"速度（字/分）", 0, 0, {}};
  chart.y = {u"錯誤率（％）", 0, 0, {}};
  std::vector<ResultKind> kinds;
  chart.points.reserve(scored.size());
  for (const Scored& s : scored) {
    const StoredResult& result = *s.result;
    if (std::find(kinds.begin(), kinds.end(), result.kind) == kinds.end()) {
      kinds.push_back(result.kind);
    }
    chart.points.push_back({s.mark.speed,
                            s.mark.error_rate,
                            MarkerOf(result.kind),
                            {{u"data-user", CandidateOf(result)}},
                            scored.size() > kMostTooltips
                                ? std::u16string()
                                : NameAndId(result) + u"：" + FormatNumber(s.mark.speed) +
                                      u" 字/分，錯誤率 " + FormatNumber(s.mark.error_rate) +
                                      u"％"});
  }
  std::sort(kinds.begin(), kinds.end());
  if (kinds.size() > 1) {
    for (const ResultKind kind : kinds) chart.legend.emplace_back(MarkerOf(kind), KindLabel(kind));
  }
  return u"<section>\n<h2>速度與錯誤率</h2>\n<figure>" + svg::ScatterChart(chart) +
         u"<figcaption>每一點是一筆成績：越右越快，越低越少錯。</figcaption></figure>\n"
         u"</section>\n";
}

std::u16string RankingSection(const std::vector<Scored>& scored,
                              const std::vector<const StoredResult*>& unmarked) {
  std::vector<const StoredResult*> order;
  std::vector<std::u16string> ranks;
  for (std::size_t i = 0; i < scored.size(); ++i) {
    // Equal marks share a rank; the next rank counts everyone above it.
    const bool tied = i > 0 && scored[i].mark.speed == scored[i - 1].mark.speed &&
                      scored[i].mark.error_rate == scored[i - 1].mark.error_rate;
    ranks.push_back(tied ? ranks.back() : FormatNumber(static_cast<double>(i + 1)));
    order.push_back(scored[i].result);
  }
  order.insert(order.end(), unmarked.begin(), unmarked.end());
  ranks.resize(order.size());
  SummaryTable summary = Summarize(order);
  std::vector<html::TableColumn> columns = {{u"名次", true}};
  for (const SummaryTable::Column& column : summary.columns) {
    columns.push_back({column.label, column.numeric});
  }
  for (std::size_t i = 0; i < summary.rows.size(); ++i) {
    summary.rows[i].insert(summary.rows[i].begin(), std::move(ranks[i]));
  }
  return u"<section class=\"ranking\">\n<h2>成績一覽</h2>\n<p class=\"note\">"
         u"依成績（考試、離線考試與模擬測驗為覆核成績，練習為該次速度）由高到低；同速度時錯誤率低者"
         u"在前。"
         u"速度單位為字/分，錯誤率為％。模擬測驗與離線考試的座號連著場次存放（場次 3、座號 15 記為 "
         u"315）。</p>\n" +
         html::Table(columns, summary.rows) + u"</section>\n";
}

std::u16string HistorySection(const std::vector<StoredResult>& results) {
  struct Entry {
    double day;
    const StoredResult* result;
    double speed;
  };
  // Candidates by ID (by name when the row has no ID), in order of their first row.
  std::vector<std::u16string> keys;
  std::map<std::u16string, std::vector<Entry>> histories;
  for (const StoredResult& result : results) {
    if (result.kind != ResultKind::kPractice) continue;
    const std::optional<Mark> mark = MarkOf(result);
    const std::optional<double> day = DayNumber(TextOf(result, Role::kDate));
    if (!mark || !day) continue;
    std::u16string key = CandidateOf(result);
    if (key.empty()) key = TextOf(result, Role::kName);
    auto [place, added] = histories.try_emplace(key);
    if (added) keys.push_back(key);
    place->second.push_back({*day, &result, mark->speed});
  }
  if (keys.empty()) return {};
  std::size_t points = 0;
  for (const auto& [key, entries] : histories) points += entries.size();
  std::u16string out =
      u"<section>\n<h2>練習歷程</h2>\n<p "
      u"class=\"note\">每位考生一張圖：練習的速度（字/分）隨時間的變化。"
      u"</p>\n<div class=\"histories\">\n";
  for (const std::u16string& key : keys) {
    std::vector<Entry>& entries = histories[key];
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.day < b.day; });
    const StoredResult& latest = *entries.back().result;
    svg::LineChartData chart;
    chart.title = NameAndId(latest) + u" 的練習歷程";
    chart.x = {u"日期", entries.front().day, entries.back().day, DayLabel};
    chart.y = {u"速度（字/分）", 0, 0, {}};
    svg::Series series;
    series.name = u"速度";
    for (const Entry& entry : entries) {
      const StoredResult& result = *entry.result;
      series.points.push_back({entry.day,
                               entry.speed,
                               svg::Marker::kCircle,
                               {},
                               points > kMostTooltips
                                   ? std::u16string()
                                   : TextOf(result, Role::kDate) + u" " +
                                         TextOf(result, Role::kPaper) + u"：" +
                                         FormatNumber(entry.speed) + u" 字/分，錯誤率 " +
                                         TextOf(result, Role::kErr) + u"％"});
    }
    chart.series.push_back(std::move(series));
    out += u"<figure>" + svg::LineChart(chart) + u"<figcaption>" +
           html::EscapeText(NameAndId(latest)) + u"：" +
           FormatNumber(static_cast<double>(entries.size())) + u" 次，最近 " +
           FormatNumber(entries.back().speed) + u" 字/分</figcaption></figure>\n";
  }
  return out + u"</div>\n</section>\n";
}

std::u16string WrongCharactersSection(const ClassReportInput& input) {
  const std::vector<CharacterCount> counts =
      MostWrongCharacters(input.results, kWrongCharacterLimit);
  if (counts.empty()) return {};
  std::u16string out =
      u"<section>\n<h2>最常錯的字</h2>\n<p class=\"note\">依模擬測驗與練習所存的錯漏字統計"
      u"（考試與離線考試不存錯字），次數多者在前。";
  if (input.codes != nullptr) {
    out += u"每個字下面是它的" + DecodeUtf8(input.codes->method) + u"字碼。";
  } else if (!input.codes_missing.empty()) {
    out += html::EscapeText(DecodeUtf8(input.codes_missing)) + u"。";
  }
  out += u"</p>\n<ol class=\"wrong\">\n";
  for (const CharacterCount& count : counts) {
    out += u"<li><span class=\"character\">" + html::EscapeText(count.character) +
           u"</span><span class=\"count\">" + FormatNumber(static_cast<double>(count.count)) +
           u" 次</span>";
    if (input.codes != nullptr && count.character.size() == 1) {
      const std::vector<KeyCode> codes = CodesOf(*input.codes, count.character[0]);
      if (!codes.empty()) {
        out += u"<span class=\"code\" data-code=\"" +
               html::EscapeAttribute(DecodeUtf8(codes[0].keys)) + u"\">" +
               html::EscapeText(DecodeUtf8(codes[0].keys)) + u"<br>" +
               html::EscapeText(DecodeUtf8(codes[0].names)) + u"</span>";
      }
    }
    out += u"</li>\n";
  }
  return out + u"</ol>\n</section>\n";
}

constexpr char16_t kReportStyles[] =
    uR"css(
.summary table { width: auto; min-width: 60%; }
.empty { font-size: 14pt; margin: 24px 0; }
.histories { display: grid; grid-template-columns: repeat(auto-fill, minmax(330px, 1fr)); gap: 8px 16px; }
ol.wrong { list-style: none; padding: 0; display: flex; flex-wrap: wrap; gap: 6px; }
ol.wrong li { border: 1px solid #555; border-radius: 4px; min-width: 64px; text-align: center; padding: 2px 4px; break-inside: avoid; }
ol.wrong .code { display: block; font-size: 9pt; border-top: 1px solid #bbb; }
ol.wrong .character { display: block; font-size: 22pt; line-height: 1.3; }
ol.wrong .count { display: block; font-size: 9pt; }
.ranking td { white-space: nowrap; }
@media print { .ranking table { font-size: 8pt; } .ranking th, .ranking td { padding: 1px 3px; } }
)css";

}  // namespace

std::optional<Mark> MarkOf(const StoredResult& result) {
  const std::optional<double> speed = NumberOf(ValueOf(result, Role::kScore));
  const std::optional<double> error_rate = NumberOf(ValueOf(result, Role::kErr));
  if (!speed || !error_rate || !std::isfinite(*speed) || !std::isfinite(*error_rate)) {
    return std::nullopt;
  }
  return Mark{*speed, *error_rate};
}

Statistics StatisticsOf(const std::vector<Mark>& marks) {
  Statistics statistics;
  statistics.count = marks.size();
  if (marks.empty()) return statistics;
  std::vector<double> speeds, error_rates;
  for (const Mark& mark : marks) {
    speeds.push_back(mark.speed);
    error_rates.push_back(mark.error_rate);
  }
  const double count = static_cast<double>(marks.size());
  statistics.mean_speed = std::accumulate(speeds.begin(), speeds.end(), 0.0) / count;
  statistics.mean_error_rate = std::accumulate(error_rates.begin(), error_rates.end(), 0.0) / count;
  statistics.median_speed = Median(std::move(speeds));
  statistics.median_error_rate = Median(std::move(error_rates));
  return statistics;
}

std::vector<SpeedBin> SpeedHistogram(const std::vector<double>& speeds) {
  if (speeds.empty()) return {};
  const auto [lowest, highest] = std::minmax_element(speeds.begin(), speeds.end());
  // Round widths 1, 2, 5, 10, 20, 50, ... until the bins from the one holding the lowest speed
  // to the one holding the highest are few enough.
  double width = 1;
  for (int step = 0;; ++step) {
    width = std::pow(10.0, step / 3) * (step % 3 == 0 ? 1 : step % 3 == 1 ? 2 : 5);
    const double first = std::floor(*lowest / width);
    const double last = std::floor(*highest / width);
    if (last - first + 1 <= kMostBins) break;
  }
  const double first = std::floor(*lowest / width);
  const std::size_t count = static_cast<std::size_t>(std::floor(*highest / width) - first) + 1;
  std::vector<SpeedBin> bins(count);
  for (std::size_t i = 0; i < count; ++i) {
    bins[i].low = (first + static_cast<double>(i)) * width;
    bins[i].high = bins[i].low + width;
  }
  for (const double speed : speeds) {
    const std::size_t bin = static_cast<std::size_t>(std::floor(speed / width) - first);
    ++bins[std::min(bin, count - 1)].count;
  }
  return bins;
}

std::vector<CharacterCount> MostWrongCharacters(const std::vector<StoredResult>& results,
                                                std::size_t limit) {
  std::map<std::u16string, std::size_t> counts;
  for (const StoredResult& result : results) {
    for (const std::u16string_view text : WrongWordsOf(result)) {
      for (std::size_t i = 0; i < text.size(); ++i) {
        std::size_t length = 1;
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
          length = 2;
        }
        const std::u16string_view character = text.substr(i, length);
        i += length - 1;
        if (character == u" " || character == u"\u3000" || character == u"\r" ||
            character == u"\n" || character == u"\t") {
          continue;
        }
        ++counts[std::u16string(character)];
      }
    }
  }
  std::vector<CharacterCount> sorted;
  for (auto& [character, count] : counts) sorted.push_back({character, count});
  std::stable_sort(
      sorted.begin(), sorted.end(),
      [](const CharacterCount& a, const CharacterCount& b) { return a.count > b.count; });
  if (sorted.size() > limit) sorted.resize(limit);
  return sorted;
}

std::optional<double> DayNumber(std::u16string_view stored) {
  // Fields: year, month, day and optionally hour, minute, second, split at "/", " " and ":".
  int fields[6] = {0, 0, 0, 0, 0, 0};
  std::size_t field = 0;
  bool digits = false;
  const char16_t separators[6] = {u'/', u'/', u' ', u':', u':', 0};
  for (const char16_t c : stored) {
    if (c >= u'0' && c <= u'9') {
      if (field >= 6 || fields[field] > 99999) return std::nullopt;
      fields[field] = fields[field] * 10 + (c - u'0');
      digits = true;
    } else if (field < 5 && c == separators[field] && digits) {
      ++field;
      digits = false;
    } else {
      return std::nullopt;
    }
  }
  if (!digits || (field != 2 && field != 5)) return std::nullopt;
  using namespace std::chrono;
  const year_month_day date{year{fields[0]}, month{static_cast<unsigned>(fields[1])},
                            day{static_cast<unsigned>(fields[2])}};
  if (!date.ok() || fields[3] > 23 || fields[4] > 59 || fields[5] > 59) return std::nullopt;
  const double seconds = fields[3] * 3600.0 + fields[4] * 60.0 + fields[5];
  return static_cast<double>(sys_days{date}.time_since_epoch().count()) + seconds / 86400;
}

std::u16string ClassReport(const ClassReportInput& input) {
  std::u16string body = u"<header>\n<h1>成績報表</h1>\n" + SelectionLine(input) + u"</header>\n";
  if (input.results.empty()) {
    body += u"<p class=\"empty\">沒有符合條件的成績。</p>\n";
    return html::Page(u"成績報表", body, kReportStyles);
  }
  std::vector<Scored> scored;
  std::vector<const StoredResult*> unmarked;
  for (const StoredResult& result : input.results) {
    if (const std::optional<Mark> mark = MarkOf(result)) {
      scored.push_back({&result, *mark});
    } else {
      unmarked.push_back(&result);
    }
  }
  std::stable_sort(scored.begin(), scored.end(), [](const Scored& a, const Scored& b) {
    if (a.mark.speed != b.mark.speed) return a.mark.speed > b.mark.speed;
    return a.mark.error_rate < b.mark.error_rate;
  });
  body += SummarySection(scored, unmarked.size());
  if (!scored.empty()) body += HistogramSection(scored) + ScatterSection(scored);
  body += RankingSection(scored, unmarked);
  body += HistorySection(input.results);
  body += WrongCharactersSection(input);
  std::u16string css(kReportStyles);
  css += svg::ChartStyles();
  return html::Page(u"成績報表", body, css);
}

}  // namespace keyin::report
