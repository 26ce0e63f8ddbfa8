// The visual report of one scored part: every mark of every typed line, the reference lines nobody
// typed, the most frequent mistakes, and the totals exactly as the .TOT and .SCR files give them;
// as one self-contained, printable HTML page or as a JSON document (docs/report-format.md). Pure:
// the run parameters, the inputs and the scored part in, text out.
//
//   const ScoredPart part = ScorePart(inputs, params);
//   const report::ScoreReport report = report::BuildScoreReport(params, inputs, part);
//   std::string page = Utf16ToUtf8(report::ScoreReportHtml(report));
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "practice/input_codes.h"
#include "report/class_report.h"
#include "report/line_marks.h"
#include "run/run_params.h"
#include "scoring/read_inputs.h"
#include "scoring/score_answer.h"

namespace keyin::report {

// One typed line and what the engine made of it.
struct MarkedLine {
  int typed_number = 0;
  int reference_number = 0;       // BestLine; 0 when the line matched nothing
  std::u16string typed_text;      // as stored
  std::u16string reference_text;  // as stored, trailing blanks included; empty when unmatched
  int charged_chars = 0;          // m: the reference characters charged (fewer on the last line)
  int hits = 0;                   // LineHits
  double score = 0;               // LineScore
  bool counted = false;           // LineScore > 0: the line is in the totals
  LineMarks marks;
};

// A reference line that ReCalc charged in full because no typed line scored on it.
struct SkippedLine {
  int number = 0;
  std::u16string text;
};

// A wrong character: what the reference has, what was typed instead, how often (marks, not units).
struct Mistake {
  char32_t expected = 0;
  char32_t typed = 0;
  std::size_t count = 0;
};

// How to type the missed and wrong characters in the candidate's input method.
struct CharacterCodes {
  std::string method;              // UTF-8; empty: no codes
  std::map<char32_t, KeyCode> of;  // each missed or wrong character's shortest code
  std::string missing;             // why there are none, when they were asked for
  // The keys a character of the paper's part needs on average in the method (KeysPerCharacter).
  std::optional<double> keys_per_character;
};

struct ScoreReport {
  RunParams params;
  Scores scores;
  std::u16string kind_label;      // the kind of run in words: KindLabelOf (模擬測驗, ...)
  bool answer_too_small = false;  // no typed line was stored: the engine scored "＜檔案太小＞"
  std::vector<MarkedLine> lines;     // every typed line, in order
  std::vector<SkippedLine> skipped;  // in order; lines with no characters are left out
  // Over the lines that count: wrong characters by pair and missed characters (a mark each, a
  // character outside the Basic Multilingual Plane once), most frequent first, ties in the order
  // they first appear.
  std::vector<Mistake> mistakes;
  std::vector<CharacterCount> missed;
  CharacterCodes codes;
};

ScoreReport BuildScoreReport(const RunParams& params, const ScoringInputs& inputs,
                             const ScoredPart& part);

// Gives the report the shortest code in the table's method of each character missed or typed
// wrong (the marks and the tables of mistakes), and the keys a character of the part's paper
// (its reference lines) needs on average.
void AddCodes(ScoreReport& report, const CodeTable& table,
              const std::vector<std::u16string>& paper_lines);

// The page: a header with the totals (data-field="speed", "error-rate", "errors", "typed-chars"),
// each typed line under its reference line with its marks (data-mark="missing", "wrong" with
// data-expected and data-typed, "extra") and a bar of its errors, the skipped lines, and the
// tables of mistakes. No script and nothing from outside; every mark has a shape besides its
// colour, so it prints in black and white.
std::u16string ScoreReportHtml(const ScoreReport& report);

// The same content as one JSON object, UTF-8 (docs/report-format.md).
std::string ScoreReportJson(const ScoreReport& report);

}  // namespace keyin::report
