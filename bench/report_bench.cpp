// The score report of one part (keyin-tool report) in memory: from a scored part to the bytes
// of the page or the JSON, on the typical paper and on the largest input a run can hold. The
// scoring itself is scoring_bench.cpp's; here it runs once, before the timing.
#include <benchmark/benchmark.h>

#include "papers.h"
#include "platform/code_page.h"
#include "practice/code_tables.h"
#include "report/score_report.h"

namespace keyin {
namespace {

struct Scored {
  RunParams params;
  ScoringInputs inputs;
  ScoredPart part;
};

Scored ScoreOf(const Paper& paper) {
  Scored scored;
  scored.params.TestType = u"3";
  scored.params.TestPart = u"1";
  scored.params.UseTime = u"300";
  scored.params.UserID = u"S123456789";
  scored.params.StuName = u"王小明";
  scored.params.ClassName = u"甲班";
  scored.inputs.reference = paper.reference;
  scored.inputs.typed = paper.typed;
  scored.part = ScorePart(scored.inputs, scored.params);
  return scored;
}

// What keyin-tool report does once the part is scored.
std::string Page(const Scored& scored) {
  return Utf16ToUtf8(
      report::ScoreReportHtml(report::BuildScoreReport(scored.params, scored.inputs, scored.part)));
}

std::string Json(const Scored& scored) {
  return report::ScoreReportJson(
      report::BuildScoreReport(scored.params, scored.inputs, scored.part));
}

void Report(benchmark::State& state, const Paper& paper, std::string (*render)(const Scored&)) {
  const Scored scored = ScoreOf(paper);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string output = render(scored);
    bytes = output.size();
    benchmark::DoNotOptimize(output.data());
  }
  state.counters["output_bytes"] = static_cast<double>(bytes);
  std::size_t errors = 0;
  for (const ScoredLine& line : scored.part.matched.lines) errors += line.missing + line.extra;
  state.counters["line_errors"] = static_cast<double>(errors);
}

// As many marks as a page can hold: 98 matched typed lines of 100 characters (no line above 98
// can match), every second character of each replaced by one that no reference line holds, or
// (shifted) every third left out and every third doubled.
Paper ManyMarks(bool shifted) {
  std::mt19937 random(98);
  Paper paper;
  for (int r = 1; r <= 99; ++r) paper.reference.push_back(RandomText(random, 100, 2000));
  for (int t = 1; t <= 98; ++t) {
    std::u16string typed;
    const std::u16string& line = paper.reference[static_cast<std::size_t>(t)];
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (!shifted) {
        typed.push_back(i % 2 ? u'\u9FA0' : line[i]);
      } else if (i % 3 != 1) {
        typed.push_back(line[i]);
        if (i % 3 == 2) typed.push_back(u'\u9FA0');
      }
    }
    paper.typed.push_back(typed);
  }
  return paper;
}

void BM_Report_TypicalPaper_Html(benchmark::State& state) { Report(state, TypicalPart(1), Page); }
BENCHMARK(BM_Report_TypicalPaper_Html)->Unit(benchmark::kMicrosecond);

void BM_Report_TypicalPaper_Json(benchmark::State& state) { Report(state, TypicalPart(1), Json); }
BENCHMARK(BM_Report_TypicalPaper_Json)->Unit(benchmark::kMicrosecond);

void BM_Report_WorstCase_Html(benchmark::State& state) { Report(state, WorstCase(false), Page); }
BENCHMARK(BM_Report_WorstCase_Html)->Unit(benchmark::kMillisecond);

void BM_Report_WorstCase_Json(benchmark::State& state) { Report(state, WorstCase(false), Json); }
BENCHMARK(BM_Report_WorstCase_Json)->Unit(benchmark::kMillisecond);

// The same with the codes of 倉頡 on every missed and wrong character: the table is read once,
// as a process that writes many reports reads it; each report looks its characters up.
void ReportWithCodes(benchmark::State& state, bool json) {
  const LoadedCodes loaded = LoadCodeTable("倉頡");
  if (!loaded.table) {
    state.SkipWithError(loaded.missing.c_str());
    return;
  }
  const Scored scored = ScoreOf(TypicalPart(1));
  std::size_t coded = 0;
  for (auto _ : state) {
    report::ScoreReport report =
        report::BuildScoreReport(scored.params, scored.inputs, scored.part);
    report::AddCodes(report, *loaded.table, scored.inputs.reference);
    coded = report.codes.of.size();
    const std::string output =
        json ? report::ScoreReportJson(report) : Utf16ToUtf8(report::ScoreReportHtml(report));
    benchmark::DoNotOptimize(output.data());
  }
  state.counters["coded_characters"] = static_cast<double>(coded);
}
void BM_Report_TypicalPaper_WithCodes_Html(benchmark::State& state) {
  ReportWithCodes(state, false);
}
BENCHMARK(BM_Report_TypicalPaper_WithCodes_Html)->Unit(benchmark::kMicrosecond);
void BM_Report_TypicalPaper_WithCodes_Json(benchmark::State& state) {
  ReportWithCodes(state, true);
}
BENCHMARK(BM_Report_TypicalPaper_WithCodes_Json)->Unit(benchmark::kMicrosecond);

// Reading 倉頡's table from its file, once per process that writes reports.
void BM_CodeTable_Load(benchmark::State& state) {
  for (auto _ : state) {
    const LoadedCodes loaded = LoadCodeTable("倉頡");
    if (!loaded.table) {
      state.SkipWithError(loaded.missing.c_str());
      return;
    }
    benchmark::DoNotOptimize(loaded.table->codes.size());
  }
}
BENCHMARK(BM_CodeTable_Load)->Unit(benchmark::kMillisecond);

void BM_Report_ManyMarks_Html(benchmark::State& state) {
  Report(state, ManyMarks(state.range(0) != 0), Page);
}
// Argument 1: the marks are missing and extra characters rather than wrong ones.
BENCHMARK(BM_Report_ManyMarks_Html)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keyin
