// The kind of run that TestType names.
//
// Every rule reads TestType as a number, strictly, so "5", " 5", "05" and "5.0" are one exam and
// "3", " 3", "03" and "3.0" one mock test.
#pragma once

#include <optional>

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

}  // namespace keyin
