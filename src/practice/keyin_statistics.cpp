// GetKeyin adds the entries of the selected record files into one usage and returns the method
// at the top of the tally; TestKeyin builds one usage per test and appends its block to the
// report before it reads the next test, so a failure in test two leaves test one's block.
#include "practice/keyin_statistics.h"

#include <algorithm>
#include <cassert>

#include "platform/ansi_file.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace keyin {
namespace {

constexpr std::u16string_view kNaturalMethod = u"自然";
constexpr std::size_t kRulerWidth = 82;

void ReadSelection(const std::string& program_folder, const KeyinRecordSelection& selection, int n,
                   MessageSink& messages, MethodUsage& usage) {
  const std::string path = KeyinRecordPath(program_folder, selection.mode, n);
  // A missing record file means nothing was recorded for that test.
  if (!IsNormalFile(path)) return;
  AddEntries(usage, ReadKeyinRecordFile(path, messages));
}

std::u16string JoinLines(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

void WriteKeyinDetail(const RunParams& params, const PathTranslator& paths, MessageSink& messages) {
  const RunKind kind = KindOfRun(params);
  const KeyinRecordSelection selection = TestKeyinSelection(kind);
  const std::string report = paths(params.ScrPath + kKeyinDetailName);
  if (IsNormalFile(report)) DeleteFile(report);
  for (int n = 1; n <= selection.file_count; ++n) {
    MethodUsage usage;
    ReadSelection(paths.ProgramFolder(), selection, n, messages, usage);
    // One append per test: the block's lines joined by CR LF, the last one ended by the append.
    AppendAnsiLine(report, JoinLines(KeyinDetailBlock(n, kind, usage)));
  }
  const std::string copy = ModeFolderPath(paths.ProgramFolder(), ReportCopyFolder(kind)) + "/" +
                           Utf16ToUtf8(kKeyinDetailName);
  CopyFileReplacing(report, copy);
}

}  // namespace

void AddEntries(MethodUsage& usage, const std::vector<KeyinEntry>& entries) {
  for (const KeyinEntry& entry : entries) {
    const std::optional<std::size_t> index = MethodIndex(entry.method);
    if (!index) continue;
    ++usage.counts[*index];
    if (kMethodList[*index] == kNaturalMethod) {
      usage.texts[*index] = entry.typed;
    } else {
      usage.texts[*index] += entry.typed;
    }
  }
}

std::vector<TallyRow> TallyTable(const MethodUsage& usage) {
  std::vector<TallyRow> rows;
  for (std::size_t i = 0; i < kMethodCount; ++i) {
    assert(usage.counts[i] >= 0);
    if (usage.counts[i] > 0) rows.push_back({kMethodList[i], usage.counts[i]});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const TallyRow& a, const TallyRow& b) {
    return a.KeyinCount > b.KeyinCount;
  });
  return rows;
}

std::u16string MostUsedMethod(const MethodUsage& usage) {
  const std::vector<TallyRow> rows = TallyTable(usage);
  return std::u16string(rows.empty() ? kOtherMethod : rows.front().KeyinName);
}

KeyinRecordSelection GetKeyinSelection(RunKind kind, std::u16string_view test_part) {
  if (kind == RunKind::kMockTest || kind == RunKind::kKeyinRecordTest) {
    return {ModeFolder::kExamScr, test_part == u"1" ? 1 : 2};
  }
  return {ModeFolder::kCAIScr, 1};
}

KeyinRecordSelection TestKeyinSelection(RunKind kind) {
  if (kind == RunKind::kCustomTextPractice || kind == RunKind::kKeyinRecordTest) {
    return {ModeFolder::kExamScr, 2};
  }
  return {ModeFolder::kCAIScr, 1};
}

ModeFolder ReportCopyFolder(RunKind kind) {
  return kind == RunKind::kCustomTextPractice ? ModeFolder::kExamScr : ModeFolder::kCAIScr;
}

std::vector<std::u16string> KeyinDetailBlock(int test, RunKind kind, const MethodUsage& usage) {
  std::vector<std::u16string> lines;
  if (test == 1) {
    lines.push_back(kind == RunKind::kCustomTextPractice ? u"※※※測驗一分析※※※" : u"※※※練習分析※※※");
  } else {
    lines.insert(lines.end(), 3, u"");
    lines.push_back(u"※※※測驗二分析※※※");
  }
  lines.push_back(u"");
  for (std::size_t i = 0; i < kMethodCount; ++i) {
    if (usage.counts[i] <= 0) continue;
    lines.push_back(u"●您使用了" + std::u16string(kMethodList[i]) + u"輸入法輸入了下列文字：");
    lines.push_back(u"");
    lines.push_back(usage.texts[i]);
    lines.push_back(u"");
    lines.push_back(std::u16string(kRulerWidth, u'='));
    lines.push_back(u"");
  }
  return lines;
}

std::u16string GetKeyin(const RunParams& params, const PathTranslator& paths, MessageSink& messages,
                        std::u16string_view test_part, bool* failed) {
  if (failed != nullptr) *failed = false;
  try {
    const KeyinRecordSelection selection = GetKeyinSelection(KindOfRun(params), test_part);
    MethodUsage usage;
    for (int n = 1; n <= selection.file_count; ++n) {
      ReadSelection(paths.ProgramFolder(), selection, n, messages, usage);
    }
    return MostUsedMethod(usage);
  } catch (const std::exception& error) {
    messages.Show(u"GetKeyin：" + Utf8ToUtf16(error.what()), u"");
    if (failed != nullptr) *failed = true;
    return std::u16string(kOtherMethod);
  }
}

bool TestKeyin(const RunParams& params, const PathTranslator& paths, MessageSink& messages,
               std::string* failure) {
  try {
    WriteKeyinDetail(params, paths, messages);
    return true;
  } catch (const std::exception& error) {
    if (failure != nullptr) *failure = error.what();
    return false;
  }
}

}  // namespace keyin
