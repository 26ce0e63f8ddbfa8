// The model both renderers draw: the marks of every line, the skipped lines as ReCalc charges
// them, and the mistakes tables over the lines that count.
#include "report/score_report.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "platform/code_page.h"
#include "platform/utf8.h"
#include "run/run_kind.h"
#include "scoring/inputs.h"

namespace keyin::report {
namespace {

std::u16string_view LineAt(const ReferenceLines& lines, int number) {
  if (number < 0 || static_cast<std::size_t>(number) >= lines.size()) return {};
  return lines[static_cast<std::size_t>(number)];
}

// The lines ReCalc charges: from 1 up to the highest scored line, every one no typed line scored
// on, once anything scored at all.
std::vector<SkippedLine> SkippedLinesOf(const MatchTotals& totals,
                                        const ReferenceLines& reference) {
  std::vector<SkippedLine> skipped;
  if (totals.total_chars == 0) return skipped;
  for (int r = 1; r <= totals.highest_scored_line; ++r) {
    const auto index = static_cast<std::size_t>(r);
    if (index < totals.ref_used.size() && totals.ref_used[index]) continue;
    const std::u16string_view text = LineAt(reference, r);
    if (!text.empty()) skipped.push_back({r, std::u16string(text)});
  }
  return skipped;
}

// Counts in order of first appearance, then sorted by count; the sort is stable, so ties keep
// that order.
template <typename Key>
class Tally {
 public:
  void Add(const Key& key) {
    const auto [at, added] = index_.try_emplace(key, counts_.size());
    if (added) counts_.emplace_back(key, 0);
    ++counts_[at->second].second;
  }
  std::vector<std::pair<Key, std::size_t>> MostFrequentFirst() && {
    std::stable_sort(counts_.begin(), counts_.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    return std::move(counts_);
  }

 private:
  std::map<Key, std::size_t> index_;
  std::vector<std::pair<Key, std::size_t>> counts_;
};

}  // namespace

ScoreReport BuildScoreReport(const RunParams& params, const ScoringInputs& inputs,
                             const ScoredPart& part) {
  ScoreReport report;
  report.params = params;
  report.scores = part.scores;
  report.kind_label = KindLabelOf(params);
  report.answer_too_small =
      inputs.typed.size() == 3 && inputs.typed[1].empty() && inputs.typed[2] == kTooSmallText;

  Tally<std::pair<char32_t, char32_t>> mistakes;
  Tally<char32_t> missed;
  for (const ScoredLine& scored : part.matched.lines) {
    MarkedLine line;
    line.typed_number = scored.typed_number;
    line.reference_number = scored.best_line;
    line.typed_text = scored.typed_line;
    if (scored.best_line != 0) {
      line.reference_text = std::u16string(LineAt(inputs.reference, scored.best_line));
    }
    line.charged_chars = scored.charged;
    line.hits = scored.hits;
    line.score = scored.score;
    line.counted = scored.score > 0;
    line.marks = MarksOf(scored, line.reference_text);
    if (line.counted) {
      for (const CharacterMark& mark : line.marks.marks) {
        if (mark.kind == MarkKind::kWrong) mistakes.Add({mark.expected, mark.typed});
        if (mark.kind == MarkKind::kMissing) missed.Add(mark.expected);
      }
    }
    report.lines.push_back(std::move(line));
  }
  report.skipped = SkippedLinesOf(part.matched.totals, inputs.reference);
  for (auto& [pair, count] : std::move(mistakes).MostFrequentFirst()) {
    report.mistakes.push_back({pair.first, pair.second, count});
  }
  for (auto& [character, count] : std::move(missed).MostFrequentFirst()) {
    report.missed.push_back({Utf16Of(character), count});
  }
  return report;
}

void AddCodes(ScoreReport& report, const CodeTable& table,
              const std::vector<std::u16string>& paper_lines) {
  std::u16string paper;
  for (const std::u16string& line : paper_lines) paper += line;
  CharacterCodes codes{table.method, {}, "", KeysPerCharacter(table, paper)};
  const auto add = [&](char32_t character) {
    if (codes.of.contains(character)) return;
    const std::vector<KeyCode> found = CodesOf(table, character);
    if (!found.empty()) codes.of.emplace(character, found.front());
  };
  for (const MarkedLine& line : report.lines) {
    for (const CharacterMark& mark : line.marks.marks) {
      if (mark.kind != MarkKind::kExtra) add(mark.expected);
    }
  }
  for (const CharacterCount& missed : report.missed) {
    if (!missed.character.empty()) add(CharacterAt(missed.character, 0).code_point);
  }
  for (const Mistake& mistake : report.mistakes) add(mistake.expected);
  report.codes = std::move(codes);
}

}  // namespace keyin::report
