// The kind of run that TestType names.
//
// Every rule reads TestType as a number (strictly, so "3", " 3", "03" and "3.0" are one mock
// test), with one exception that IsExamByExactText keeps in one place.
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
                           //    do; only the input-method statistics tell it from kOther
  kOther,                  // any other number: scored and reported, nothing stored
};

// The kind TestType names as a number. Throws RunFailure when TestType is no number.
RunKind KindOfRun(const RunParams& params);

// The same, or nothing when TestType is no number.
std::optional<RunKind> KindOfRunIfNumber(const RunParams& params);

// Article practice, single or double: the kinds that keep a practice record.
bool IsArticlePractice(RunKind kind);

// The storage phase writes an exam row only when TestType is exactly the text "5": a TestType that
// is an exam by its number alone ("05", " 5", "5.0") is scored and reported but stores no row.
// This is the one place that reads TestType as text.
bool IsExamByExactText(const RunParams& params);

}  // namespace keyin
