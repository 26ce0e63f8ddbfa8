// The kind of run that TestType names, what follows from it for every layer, and its name.
//
// Every rule reads TestType as a number, strictly, so "5", " 5", "05" and "5.0" are one exam and
// "3", " 3", "03" and "3.0" one mock test.
#pragma once

#include <optional>
#include <string_view>

#include "run/run_params.h"

namespace keyin {

enum class RunKind {
  kCustomTextPractice,     // 0: practice on a custom text, lib/<paper>.cus (自建題庫練習)
  kSingleArticlePractice,  // 1: 文章練習（單）
  kDoubleArticlePractice,  // 2: 文章練習（雙）
  kMockTest,               // 3: 模擬測驗
  kOfflineExam,            // 4
  kExam,                   // 5
  kKeyinRecordTest,        // 7: a test whose keyin record files lie in ExamScr/ as a mock test's
                           //    do; like kind 0 its result is its reports, no table keeps it
  kOther,                  // any other number: scored and reported, then the run fails, since no
                           //    table keeps its result and a front end must not take it as stored
};

// The kind TestType names as a number. Throws RunFailure when TestType is no number.
RunKind KindOfRun(const RunParams& params);

// The same, or nothing when TestType is no number.
std::optional<RunKind> KindOfRunIfNumber(const RunParams& params);

// Article practice, single or double: the kinds that keep a practice record.
bool IsArticlePractice(RunKind kind);

// Custom text or library paper: a custom-text practice scores against the custom text
// lib/<ExamPaperNo>.cus of the program folder, every other kind against the library paper
// LibPath/<ExamPaperNo>.LIB.
bool ScoresCustomText(RunKind kind);
// The same for the run: throws RunFailure when TestType is no number, as KindOfRun does. The
// scoring and the report ask this inside Cmd_Scr's handler, where that failure is shown.
bool ScoresCustomText(const RunParams& params);
// The same, false when TestType is no number. Start-up loads the custom text before Cmd_Scr,
// outside its handler: a TestType that is no number must not fail there but in the handler, with
// its message box, so start-up asks this one.
bool ScoresCustomTextIfNumber(const RunParams& params);

// The kind as candidates, teachers and the exam room's pages name it: 自建題庫練習, 文章練習（單）,
// 文章練習（雙）, 模擬測驗, 離線考試, 考試, 測驗 (kind 7), 其他.
std::u16string_view KindLabel(RunKind kind);
// The kind of the run in words; 其他 also for a TestType that is no number.
std::u16string_view KindLabelOf(const RunParams& params);
// The article practices together, as one table of practice records keeps both: 練習.
inline constexpr std::u16string_view kPracticeLabel = u"練習";

}  // namespace keyin
