// Drills from a candidate's mistakes: the characters the candidate keeps missing, weakest first,
// and lines of the papers they typed that hold those characters, for a custom text to practise
// on. Pure: the runs are read and scored at the edge (audit/drill_history.h).
//
//   Drill drill = MakeDrill(HistoryOf(program_folder, user_id), DrillLimits{});
//   // drill.characters: most missed first; drill.lines: at most 10, each holds one of them
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace keyin {

// What one scored run shows of each reference character it reached. A character is a code point:
// a surrogate pair counts once.
struct RunCharacters {
  std::string run_id;
  DateTime time;
  std::vector<std::u16string> lines;  // the reference lines of the part, as the candidate saw them
  std::map<char32_t, int> misses;     // occurrences marked missing or wrong
  std::map<char32_t, int> right;      // occurrences typed right
};

// Whether a character is drilled: every character beyond ASCII (CJK characters, full-width
// punctuation and letters) but blanks and controls. ASCII is typed straight from the keyboard,
// not through the input method, so a miss there says nothing of the method.
bool IsDrilled(char32_t character);

// Counts the characters of a reference line that a typed line matched into `run`: those within
// its first `reached` UTF-16 units (the length the scoring charged), missed when any of their
// units is among `missed_positions` (UTF-16 positions from 1, as the marks give them), otherwise
// right. Characters not drilled are not counted; `reached` past the line's end reads as its end.
void CountMatchedLine(std::u16string_view reference_line, int reached,
                      const std::set<int>& missed_positions, RunCharacters& run);

struct DrillLimits {
  int right_runs_to_leave = 3;  // runs typing a character right, after its last miss, to drop it
  int max_lines = 10;
};

struct DrillCharacter {
  char32_t character = 0;
  int misses = 0;                      // over the whole history
  int right_runs_since_last_miss = 0;  // fewer than DrillLimits::right_runs_to_leave
  friend bool operator==(const DrillCharacter&, const DrillCharacter&) = default;
};

struct Drill {
  std::vector<DrillCharacter> characters;  // weakest first
  std::vector<std::u16string> lines;       // in the order chosen, trailing blanks trimmed
};

// The drill of a candidate's history, oldest run first.
//
// Characters: every drilled character missed in some run, ordered by misses over the history
// (more first), then by the run of its last miss (later first), then by code point. One leaves
// the drill once `right_runs_to_leave` runs after its last miss typed it right with no miss.
// Lines: the history's reference lines, trailing blanks (half- and full-width) trimmed, each at
// most once. For each character in order, the not yet taken line holding it that holds the most
// distinct drill characters (ties: the earliest in the history) is taken, until `max_lines`.
// Every line holds a drill character. An empty drill (no history, nothing missed, every character
// left) has no lines: the caller says so.
Drill MakeDrill(const std::vector<RunCharacters>& history, const DrillLimits& limits = {});

// The character as UTF-16: one unit, or a surrogate pair beyond the BMP.
std::u16string CharacterText(char32_t character);

}  // namespace keyin
