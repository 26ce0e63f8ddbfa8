// Line matching and error marking: for every typed line, the reference line it copies, the
// character marks and the counts. Pure functions over the line tables.
#pragma once

#include <string>
#include <vector>

namespace keyin {

// Mark characters of the comparison.
inline constexpr char16_t kMatchedMark = u'\u25CB';  // ○ matched (and: already used)
inline constexpr char16_t kTypedCircle = u'\u25CF';  // ● a ○ that the candidate typed
inline constexpr char16_t kWrongMark = u'\uFF03';    // ＃ judged wrong before the alignment
inline constexpr char16_t kErrorMark = u'\uFF38';    // Ｘ wrong or extra typed character
inline constexpr char16_t kLetterO = u'\uFF2F';      // Ｏ; "ＯＯ" in a reference line

// The reference lines: entry k is reference line k; entry 0 is the empty line of an unmatched
// typed line. Entries past the end read as empty lines.
using ReferenceLines = std::vector<std::u16string>;
// The stored typed lines: entry k is typed line k (1..TypedCount); entry 0 is unused.
using TypedLines = std::vector<std::u16string>;

// What one typed line leaves behind, after the line tail stripped trailing half-width blanks.
struct ScoredLine {
  int typed_number = 0;           // t, from 1
  int best_line = 0;              // b, the matched reference line; 0 when unmatched
  std::u16string reference_line;  // reference line b as stored
  std::u16string reference_copy;  // marked reference copy (cut for the last typed line)
  std::u16string typed_copy;      // marked typed copy, every ● turned into Ｘ
  std::u16string typed_line;      // typed line t as stored
  int hits = 0;                   // LineHits
  int missing = 0;                // LineMissing
  int extra = 0;                  // LineExtra
  int charged = 0;                // m: reference characters charged (cut to n on the last line)
  double score = 0;               // LineScore, a multiple of 0.5, never negative
  double adjusted_score = 0;      // LineAdjustedScore, never negative
};

// What the whole loop carries into the totals and the error-check file.
struct MatchTotals {
  double score_sum = 0;           // sum of LineScore over the scored lines
  double adjusted_score_sum = 0;  // sum of LineAdjustedScore, only when Deduction > 0.5
  long long total_chars = 0;      // TotalChars
  long long error_count = 0;      // ErrorCount
  int highest_scored_line = 1;    // highest reference line that scored, at least 1
  std::vector<bool> ref_used;     // RefUsed, entries 0..200
  std::u16string missed_chars;    // MissedChars
  std::u16string wrong_chars;     // WrongChars
  double deduction = 0.5;         // Deduction: SubtractScore, or 0.5 when it is 0
};

struct MatchResult {
  std::vector<ScoredLine> lines;  // one per typed line, in order 1..TypedCount
  MatchTotals totals;
};

// ScrLoop: matches and marks typed lines 1..typed.size()-1 against the reference lines.
MatchResult ScrLoop(const ReferenceLines& reference, const TypedLines& typed,
                    double subtract_score);

}  // namespace keyin
