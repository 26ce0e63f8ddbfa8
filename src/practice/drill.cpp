// The drill: characters ranked by what the history says of each, then lines chosen greedily,
// weakest character first, each taking the line that also covers the most other drill
// characters. Lines are few (a paper holds at most 2,000) and a drill takes at most a handful, so
// each line's set of characters is computed once and the choice is a plain scan.
#include "practice/drill.h"

#include <algorithm>
#include <cassert>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

namespace keyin {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point starting at `at` and how many units it takes; a lone surrogate is itself.
std::pair<char32_t, std::size_t> CodePointAt(std::u16string_view text, std::size_t at) {
  const char16_t unit = text[at];
  if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
    return {0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[at + 1] - 0xDC00), 2};
  }
  return {unit, 1};
}

bool IsTrailingBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\u3000'; }

std::u16string TrimmedLine(std::u16string_view line) {
  std::size_t end = line.size();
  while (end > 0 && IsTrailingBlank(line[end - 1])) --end;
  return std::u16string(line.substr(0, end));
}

// The distinct drilled characters of a line.
std::unordered_set<char32_t> CharactersOf(std::u16string_view line) {
  std::unordered_set<char32_t> characters;
  for (std::size_t i = 0; i < line.size();) {
    const auto [character, length] = CodePointAt(line, i);
    if (IsDrilled(character)) characters.insert(character);
    i += length;
  }
  return characters;
}

// What the history says of one character while it is ranked.
struct Standing {
  int misses = 0;
  int last_miss_run = -1;  // index in the history; -1 while never missed
  int right_runs_since_last_miss = 0;
};

std::vector<DrillCharacter> RankCharacters(const std::vector<RunCharacters>& history,
                                           const DrillLimits& limits) {
  std::map<char32_t, Standing> standings;
  for (std::size_t run = 0; run < history.size(); ++run) {
    for (const auto& [character, count] : history[run].misses) {
      if (count <= 0 || !IsDrilled(character)) continue;
      Standing& standing = standings[character];
      standing.misses += count;
      standing.last_miss_run = static_cast<int>(run);
      standing.right_runs_since_last_miss = 0;
    }
    for (const auto& [character, count] : history[run].right) {
      if (count <= 0) continue;
      const auto found = standings.find(character);
      const auto missed_here = history[run].misses.find(character);
      const bool clean = missed_here == history[run].misses.end() || missed_here->second <= 0;
      if (found != standings.end() && clean) ++found->second.right_runs_since_last_miss;
    }
  }
  std::vector<std::pair<DrillCharacter, int>> ranked;  // with the run of the last miss
  for (const auto& [character, standing] : standings) {
    if (standing.right_runs_since_last_miss >= limits.right_runs_to_leave) continue;
    ranked.push_back({{character, standing.misses, standing.right_runs_since_last_miss},
                      standing.last_miss_run});
  }
  std::sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
    return std::tuple(-a.first.misses, -a.second, a.first.character) <
           std::tuple(-b.first.misses, -b.second, b.first.character);
  });
  std::vector<DrillCharacter> characters;
  for (const auto& entry : ranked) characters.push_back(entry.first);
  return characters;
}

}  // namespace

bool IsDrilled(char32_t character) {
  if (character < 0x80) return false;                            // ASCII
  if (character < 0xA0) return false;                            // C1 controls
  if (character >= 0xD800 && character <= 0xDFFF) return false;  // a lone surrogate
  switch (character) {
    case 0x00A0:  // no-break space
    case 0x3000:  // ideographic (full-width) blank
    case 0xFEFF:  // byte-order mark
    case 0xFFFD:  // what an unreadable character became
      return false;
    default:
      return !(character >= 0x2000 && character <= 0x200F);  // the typographic blanks
  }
}

void CountMatchedLine(std::u16string_view reference_line, int reached,
                      const std::set<int>& missed_positions, RunCharacters& run) {
  const std::size_t end =
      std::min(reference_line.size(), static_cast<std::size_t>(std::max(reached, 0)));
  for (std::size_t i = 0; i < end;) {
    const auto [character, length] = CodePointAt(reference_line, i);
    // Positions count from 1; a pair is missed when either of its units is.
    bool missed = false;
    for (std::size_t unit = i; unit < i + length; ++unit) {
      missed = missed || missed_positions.contains(static_cast<int>(unit) + 1);
    }
    if (IsDrilled(character)) ++(missed ? run.misses : run.right)[character];
    i += length;
  }
}

Drill MakeDrill(const std::vector<RunCharacters>& history, const DrillLimits& limits) {
  Drill drill;
  drill.characters = RankCharacters(history, limits);
  if (drill.characters.empty()) return drill;

  // Every distinct line of the history, oldest first, with the drill characters it holds.
  std::unordered_set<char32_t> in_drill;
  for (const DrillCharacter& character : drill.characters) in_drill.insert(character.character);
  struct Candidate {
    std::u16string line;
    std::unordered_set<char32_t> drill_characters;
    bool taken = false;
  };
  std::vector<Candidate> candidates;
  std::unordered_set<std::u16string> seen;
  for (const RunCharacters& run : history) {
    for (const std::u16string& line : run.lines) {
      std::u16string trimmed = TrimmedLine(line);
      if (trimmed.empty() || !seen.insert(trimmed).second) continue;
      std::unordered_set<char32_t> held;
      for (char32_t character : CharactersOf(trimmed)) {
        if (in_drill.contains(character)) held.insert(character);
      }
      if (!held.empty()) candidates.push_back({std::move(trimmed), std::move(held)});
    }
  }

  const std::size_t max_lines = static_cast<std::size_t>(std::max(limits.max_lines, 0));
  for (const DrillCharacter& character : drill.characters) {
    if (drill.lines.size() >= max_lines) break;
    Candidate* best = nullptr;
    for (Candidate& candidate : candidates) {
      if (candidate.taken || !candidate.drill_characters.contains(character.character)) continue;
      // Strictly more only: ties keep the earliest line.
      if (!best || candidate.drill_characters.size() > best->drill_characters.size()) {
        best = &candidate;
      }
    }
    if (!best) continue;  // its lines are taken already, or the history has none
    best->taken = true;
    drill.lines.push_back(best->line);
  }
  assert(drill.lines.size() <= max_lines);
  return drill;
}

std::u16string CharacterText(char32_t character) {
  if (character < 0x10000) return std::u16string(1, static_cast<char16_t>(character));
  const char32_t offset = character - 0x10000;
  return {static_cast<char16_t>(0xD800 + (offset >> 10)),
          static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
}

}  // namespace keyin
