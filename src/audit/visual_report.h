// The visual report of a scored part, written by the scoring run itself beside its three reports
// (KEYIN_VISUAL_REPORT=1), so that a front end need not score the part a second time with
// `keyin-tool report`, nor read the numbers back from the .TOT text.
#pragma once

#include <array>
#include <string>

#include "report/score_report.h"
#include "run/run_params.h"
#include "scoring/score_answer.h"

namespace keyin {

inline constexpr char kVisualReportVariable[] = "KEYIN_VISUAL_REPORT";
// The input method (UTF-8, as the method list names it) whose codes the visual report gives
// under every missed and wrong character; unset or empty: none. A practice sets it, so that the
// learner sees how to type what was missed.
inline constexpr char kVisualReportMethodVariable[] = "KEYIN_VISUAL_REPORT_METHOD";

// Whether the run is asked for the visual report: KEYIN_VISUAL_REPORT is "1". Unset, empty or
// "0" asks for none; any other value throws RunFailure, so that a misspelt request is not taken
// for no request.
bool VisualReportAsked();

// Writes `base`.html and `base`.json (VisualReportPathsOf), the page and the JSON that
// `keyin-tool report` makes of the same argument string (with --method codes_method, when one is
// given), each replaced whole in one step. When one cannot be written, neither is left and
// FileError propagates. Returns the two paths.
std::array<std::string, 2> WriteVisualReport(const RunParams& params, const ScoringOutcome& outcome,
                                             const std::string& base,
                                             std::string_view codes_method = {});

// The method KEYIN_VISUAL_REPORT_METHOD names; empty when none.
std::string VisualReportMethod();

// Gives the report the codes of the method, or says in it why there are none (no open table, a
// package not installed, a table that cannot be read): codes never fail a report.
void AddCodesOfMethod(report::ScoreReport& report, std::string_view method,
                      const std::vector<std::u16string>& paper_lines);

}  // namespace keyin
