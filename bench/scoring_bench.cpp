// The scoring engine in memory, from the typed answer's lines to every report line, on a typical
// paper and on the largest input a run can hold. Besides time, each case reports the peak of the
// heap bytes the engine holds beyond its inputs, counted by the replaced operator new.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "papers.h"
#include "scoring/inputs.h"
#include "scoring/matching.h"
#include "scoring/reports.h"
#include "scoring/totals.h"

namespace {

std::atomic<long long> live_bytes{0};
std::atomic<long long> peak_bytes{0};

// Every allocation carries its size in a header so that delete can subtract it.
void* CountedAllocate(std::size_t size) {
  auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
  if (block == nullptr) throw std::bad_alloc();
  *block = size;
  long long now = live_bytes += static_cast<long long>(size);
  long long peak = peak_bytes.load();
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
  return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}

void CountedFree(void* pointer) {
  if (pointer == nullptr) return;
  auto* block =
      reinterpret_cast<std::size_t*>(static_cast<char*>(pointer) - sizeof(std::max_align_t));
  live_bytes -= static_cast<long long>(*block);
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void operator delete(void* pointer) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer) noexcept { CountedFree(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { CountedFree(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { CountedFree(pointer); }

namespace keyin {
namespace {

// What a run does between reading its files and writing them.
std::size_t ScoreInMemory(const ReferenceLines& reference,
                          const std::vector<std::u16string>& answer) {
  TypedLines typed = LoadTypedLines(answer);
  MatchResult matched = ScrLoop(reference, typed, 0);
  std::size_t lines = 0;
  for (const ScoredLine& line : matched.lines) lines += ListingBlock(line).size();
  Scores scores = TotScr(matched.totals, reference, u"300", RunKind::kMockTest);
  lines += ListingSummary(u"CTEST-1", scores, 0).size();
  lines += ScoreSummary(u"CTEST-1", scores).size();
  lines +=
      ErrChk(u"P001", u"1", RunKind::kMockTest, scores, matched.totals, u"2024/3/5", u"9:07:02")
          .lines.size();
  return lines;
}

std::vector<std::u16string> AnswerOf(const Paper& paper) {
  return std::vector<std::u16string>(paper.typed.begin() + 1, paper.typed.end());
}

std::size_t InputBytes(const Paper& paper) {
  std::size_t bytes = 0;
  for (const auto& line : paper.reference) bytes += line.size() * sizeof(char16_t);
  for (const auto& line : paper.typed) bytes += line.size() * sizeof(char16_t);
  return bytes;
}

// Peak heap bytes of one scoring, beyond what was live before it.
double PeakBytesOfOneRun(const Paper& paper, const std::vector<std::u16string>& answer) {
  long long before = live_bytes.load();
  peak_bytes = before;
  benchmark::DoNotOptimize(ScoreInMemory(paper.reference, answer));
  return static_cast<double>(peak_bytes.load() - before);
}

void BM_Scoring_TypicalPaper(benchmark::State& state) {
  const Paper part1 = TypicalPart(1);
  const Paper part2 = TypicalPart(2);
  const auto answer1 = AnswerOf(part1), answer2 = AnswerOf(part2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ScoreInMemory(part1.reference, answer1));
    benchmark::DoNotOptimize(ScoreInMemory(part2.reference, answer2));
  }
  state.counters["input_bytes"] = static_cast<double>(InputBytes(part1) + InputBytes(part2));
  state.counters["peak_bytes"] =
      std::max(PeakBytesOfOneRun(part1, answer1), PeakBytesOfOneRun(part2, answer2));
}
BENCHMARK(BM_Scoring_TypicalPaper)->Unit(benchmark::kMicrosecond);

void BM_Scoring_WorstCase(benchmark::State& state) {
  const Paper paper = WorstCase(state.range(0) != 0);
  const auto answer = AnswerOf(paper);
  for (auto _ : state) benchmark::DoNotOptimize(ScoreInMemory(paper.reference, answer));
  state.counters["input_bytes"] = static_cast<double>(InputBytes(paper));
  state.counters["peak_bytes"] = PeakBytesOfOneRun(paper, answer);
}
// Argument 1: every typed line holds a "○", the rarer path of the line search.
BENCHMARK(BM_Scoring_WorstCase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ScrLoop_TypicalPaper(benchmark::State& state) {
  const Paper part1 = TypicalPart(1);
  const Paper part2 = TypicalPart(2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(ScrLoop(part1.reference, part1.typed, 0));
    benchmark::DoNotOptimize(ScrLoop(part2.reference, part2.typed, 0));
  }
}
BENCHMARK(BM_ScrLoop_TypicalPaper)->Unit(benchmark::kMicrosecond);

void BM_ScrLoop_WorstCase(benchmark::State& state) {
  const Paper paper = WorstCase(state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(ScrLoop(paper.reference, paper.typed, 0));
}
// Argument 1: every typed line holds a "○", the rarer path of the line search.
BENCHMARK(BM_ScrLoop_WorstCase)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace keyin
