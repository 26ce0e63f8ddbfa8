// ScrLoop on arbitrary reference and typed line tables, checking what the engine guarantees
// after every run: counts never negative, scores multiples of 0.5, marked copies that are their
// lines with marks put in place of characters, a reference line scored at most once, and totals
// that are the sums over the scored lines.
//
// Input: reference lines "|" typed lines "|" one byte for SubtractScore; lines end at "\n".
// Without a "|" the typed lines are the reference lines. Bytes stand for characters of a small
// alphabet so that the rules meet often: "o" ○, "@" ●, "#" ＃, "X" Ｘ, "O" Ｏ, "_" a full-width
// blank, digits the CJK numerals 一..十, other letters and the blank themselves, anything else a
// character of the alphabet. At most 120 reference lines, 200 typed lines, 120 units a line.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "scoring/matching.h"
#include "support/text.h"

namespace keyin {
namespace {

constexpr std::size_t kMaxReferenceLines = 120;
constexpr std::size_t kMaxTypedLines = 200;
constexpr std::size_t kMaxLineUnits = 120;
constexpr int kWindow = 25;
constexpr int kLastCandidate = 99;
constexpr std::size_t kRefUsedEntries = 201;

constexpr std::u16string_view kAlphabet = u"○●＃ＸＯ \u3000天地人你我的是一二ABab";
constexpr std::u16string_view kNumerals = u"一二三四五六七八九十";

std::array<char16_t, 256> MakeCharacterTable() {
  std::array<char16_t, 256> table{};
  for (int b = 0; b < 256; ++b) {
    char16_t ch = kAlphabet[static_cast<std::size_t>(b) % kAlphabet.size()];
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == ' ') ch = static_cast<char16_t>(b);
    if (b >= '0' && b <= '9') ch = kNumerals[static_cast<std::size_t>(b - '0')];
    table[static_cast<std::size_t>(b)] = ch;
  }
  table['o'] = kMatchedMark;
  table['@'] = kTypedCircle;
  table['#'] = kWrongMark;
  table['X'] = kErrorMark;
  table['O'] = kLetterO;
  table['_'] = kFullBlank;
  return table;
}

// Entry 0 first, then the lines of the part, within the bounds.
std::vector<std::u16string> LineTable(std::string_view part, std::u16string entry0,
                                      std::size_t max_lines) {
  static const std::array<char16_t, 256> characters = MakeCharacterTable();
  std::vector<std::u16string> table{std::move(entry0)};
  if (part.empty()) return table;
  table.emplace_back();
  for (const char byte : part) {
    if (byte == '\n') {
      if (table.size() > max_lines) break;
      table.emplace_back();
    } else if (table.back().size() < kMaxLineUnits) {
      table.back().push_back(characters[static_cast<unsigned char>(byte)]);
    }
  }
  return table;
}

bool IsTwiceWhole(double value) {
  return value * 2 == static_cast<double>(static_cast<long long>(value * 2));
}

// `copy` is `original` with some characters replaced by marks and trailing blanks removed: every
// character left is the original one (when `allowed_as_is` says it may stay) or one of the
// marks, and whatever the copy lost at its end was blanks.
void CheckMarkedCopy(std::u16string_view copy, std::u16string_view original,
                     std::u16string_view marks, bool (*allowed_as_is)(char16_t)) {
  FUZZ_CHECK(copy.size() <= original.size());
  FUZZ_CHECK(copy.empty() || copy.back() != kHalfBlank);
  for (std::size_t i = 0; i < copy.size(); ++i) {
    const bool as_is = copy[i] == original[i] && allowed_as_is(original[i]);
    FUZZ_CHECK(as_is || marks.find(copy[i]) != std::u16string_view::npos);
  }
}

bool AnyCharacter(char16_t) { return true; }
// A typed ○ or ● never shows as itself: it is either matched (○) or wrong (Ｘ).
bool NotACircle(char16_t ch) { return ch != kMatchedMark && ch != kTypedCircle; }

void CheckRun(const ReferenceLines& reference, const TypedLines& typed, double subtract_score) {
  const MatchResult result = ScrLoop(reference, typed, subtract_score);
  const MatchTotals& totals = result.totals;
  const int typed_count = static_cast<int>(typed.size()) - 1;
  FUZZ_CHECK(result.lines.size() == static_cast<std::size_t>(typed_count));
  FUZZ_CHECK(totals.deduction == (subtract_score == 0 ? 0.5 : subtract_score));
  FUZZ_CHECK(totals.ref_used.size() == kRefUsedEntries);

  double score_sum = 0;
  double adjusted_score_sum = 0;
  long long total_chars = 0;
  long long error_count = 0;
  int highest_scored_line = 1;
  std::vector<bool> ref_used(kRefUsedEntries, false);
  std::u16string missed_chars;

  for (int t = 1; t <= typed_count; ++t) {
    const ScoredLine& line = result.lines[static_cast<std::size_t>(t - 1)];
    const std::u16string& typed_line = typed[static_cast<std::size_t>(t)];
    const int b = line.best_line;
    FUZZ_CHECK(line.typed_number == t);
    FUZZ_CHECK(line.hits >= 0 && line.missing >= 0 && line.extra >= 0);
    const int errors = line.missing + line.extra;
    FUZZ_CHECK(line.score >= 0 && IsTwiceWhole(line.score));
    FUZZ_CHECK(line.score == std::max(0.0, line.hits - errors / 2.0));
    FUZZ_CHECK(line.adjusted_score >= 0);
    FUZZ_CHECK(line.adjusted_score == std::max(0.0, line.hits - totals.deduction * errors));

    FUZZ_CHECK(line.typed_line == TrimTrailingBlanks(typed_line));
    FUZZ_CHECK(line.typed_copy.size() >= line.typed_line.size());
    CheckMarkedCopy(line.typed_copy, typed_line, u"○Ｘ", NotACircle);

    if (b == 0) {
      FUZZ_CHECK(line.hits == 0 && line.missing == 0 && line.extra == 0 && line.charged == 0);
      FUZZ_CHECK(line.reference_line.empty() && line.reference_copy.empty());
      continue;
    }
    // A candidate inside the window, below line 99, long enough, and scored once at most.
    FUZZ_CHECK(b >= 1 && b < kLastCandidate && b < static_cast<int>(reference.size()));
    FUZZ_CHECK(b >= t - kWindow && b <= t + kWindow);
    const std::u16string& reference_line = reference[static_cast<std::size_t>(b)];
    FUZZ_CHECK(reference_line.size() >= 2);
    FUZZ_CHECK(line.reference_line == TrimTrailingBlanks(reference_line));
    CheckMarkedCopy(line.reference_copy, reference_line, u"○", AnyCharacter);
    if (t != typed_count) FUZZ_CHECK(line.reference_copy.size() >= line.reference_line.size());

    // The reference characters charged: the whole line, or as many as the last line typed.
    long long charged = static_cast<long long>(reference_line.size());
    if (t == typed_count) charged = std::min(charged, static_cast<long long>(typed_line.size()));
    FUZZ_CHECK(line.charged == charged);
    FUZZ_CHECK(line.missing <= charged);
    FUZZ_CHECK(line.hits + line.missing >= charged);
    FUZZ_CHECK(line.hits + line.missing <= charged + static_cast<long long>(typed_line.size()));

    for (const char16_t ch : line.reference_copy) {
      if (ch != kMatchedMark) missed_chars.push_back(ch);
    }
    if (line.score > 0) {
      FUZZ_CHECK(!ref_used[static_cast<std::size_t>(b)]);
      ref_used[static_cast<std::size_t>(b)] = true;
      score_sum += line.score;
      if (totals.deduction > 0.5) adjusted_score_sum += line.adjusted_score;
      total_chars += charged;
      error_count += errors;
      highest_scored_line = std::max(highest_scored_line, b);
    }
  }

  FUZZ_CHECK(totals.score_sum == score_sum);
  FUZZ_CHECK(totals.adjusted_score_sum == adjusted_score_sum);
  FUZZ_CHECK(totals.total_chars == total_chars);
  FUZZ_CHECK(totals.error_count == error_count);
  FUZZ_CHECK(totals.highest_scored_line == highest_scored_line);
  FUZZ_CHECK(totals.ref_used == ref_used);
  FUZZ_CHECK(totals.missed_chars == missed_chars);
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace keyin;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t first_bar = input.find('|');
  const std::string_view reference_part = input.substr(0, first_bar);
  std::string_view typed_part = reference_part;
  double subtract_score = 0;
  if (first_bar != std::string_view::npos) {
    typed_part = input.substr(first_bar + 1);
    const std::size_t second_bar = typed_part.find('|');
    if (second_bar != std::string_view::npos) {
      if (second_bar + 1 < typed_part.size()) {
        subtract_score = static_cast<unsigned char>(typed_part[second_bar + 1]) % 9 * 0.25;
      }
      typed_part = typed_part.substr(0, second_bar);
    }
  }
  // Entry 0 of the reference table is never a candidate, whatever it holds.
  const ReferenceLines reference = LineTable(reference_part, u"天地人你我", kMaxReferenceLines);
  const TypedLines typed = LineTable(typed_part, u"", kMaxTypedLines);
  CheckRun(reference, typed, subtract_score);
  return 0;
}
