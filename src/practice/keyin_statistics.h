// Input-method statistics over the keyin record files: the most used method (GetKeyin) and the
// usage detail report KeyinDetial.txt (TestKeyin). Neither is part of a scoring run; keyin-tool
// calls them with the run parameters of an argument string.
//
// The tally, the selection of record files and every report line are pure functions below; the
// two routines at the end read the files and write the report.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"
#include "platform/paths.h"
#include "practice/keyin_records.h"
#include "run/run_kind.h"
#include "run/run_params.h"

namespace keyin {

// What the entries of one test (or of both tests together) say about each method of the list.
// Counts are 64-bit: a record file can hold more than 32,767 entries of one method, and such a
// count must stay right rather than wrap or fail.
struct MethodUsage {
  std::array<std::int64_t, kMethodCount> counts{};
  // The typed texts of the method's entries joined in file order; for "自然" only the typed text
  // of its last entry, since each "自然" entry replaces what came before.
  std::array<std::u16string, kMethodCount> texts;
};

// Adds 1 to the count of each entry's method and collects its typed text. Entries naming no
// method of the list are skipped.
void AddEntries(MethodUsage& usage, const std::vector<KeyinEntry>& entries);

struct TallyRow {
  std::u16string_view KeyinName;
  std::int64_t KeyinCount = 0;
  friend bool operator==(const TallyRow&, const TallyRow&) = default;
};

// One row per method with a count above 0, by count descending; among equal counts the list
// order stays (stable sort).
std::vector<TallyRow> TallyTable(const MethodUsage& usage);

// KeyinName of the tally table's first row, or "其他" when the table is empty.
std::u16string MostUsedMethod(const MethodUsage& usage);

// The record files a routine reads: Ctest-1.any up to Ctest-<file_count>.any of one mode folder.
struct KeyinRecordSelection {
  ModeFolder mode = ModeFolder::kCAIScr;
  int file_count = 1;
  friend bool operator==(const KeyinRecordSelection&, const KeyinRecordSelection&) = default;
};

// GetKeyin: a test (a mock test or TestType 7) reads ExamScr/, one file when the test part is
// exactly "1" and two otherwise; any other kind is a practice and reads CAIScr/Ctest-1.any.
KeyinRecordSelection GetKeyinSelection(RunKind kind, std::u16string_view test_part);

// TestKeyin: a custom-text practice or TestType 7 covers two tests from ExamScr/; any other kind
// one practice from CAIScr/.
KeyinRecordSelection TestKeyinSelection(RunKind kind);

// The folder that receives the copy of the report: ExamScr/ for a custom-text practice, CAIScr/
// otherwise.
ModeFolder ReportCopyFolder(RunKind kind);

inline constexpr char16_t kKeyinDetailName[] = u"KeyinDetial.txt";

// The lines of the report for test n (1 or 2): the heading block, then six lines for each method
// with a count above 0, in list order (heading, empty, collected text, empty, ruler, empty).
std::vector<std::u16string> KeyinDetailBlock(int test, RunKind kind, const MethodUsage& usage);

// The most used input method of the record files that the run parameters select, or "其他" when
// none was counted. Any failure (TestType not a number, a file that does not read, an entry
// without ",") shows "GetKeyin：" and its description (no title) and gives "其他"; `failed`, when
// given, tells whether that happened.
std::u16string GetKeyin(const RunParams& params, const PathTranslator& paths, MessageSink& messages,
                        std::u16string_view test_part, bool* failed = nullptr);

// Writes ScrPath & "KeyinDetial.txt" (a report left by an earlier call is deleted first) and
// copies it into the mode folder. True after the copy. Any failure ends the work silently:
// false, the report keeps the blocks already written, no copy; when `failure` is given it
// receives the description. Decrypt's messages about record lines go to `messages`.
bool TestKeyin(const RunParams& params, const PathTranslator& paths, MessageSink& messages,
               std::string* failure = nullptr);

}  // namespace keyin
