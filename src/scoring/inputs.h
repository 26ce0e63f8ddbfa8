// The line tables of the scoring: reference lines from the custom text or from the paper's lines,
// the stored typed lines, and the names of the run's files. Pure.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "scoring/matching.h"

namespace keyin {

inline constexpr int kMaxReferenceLines = 2000;
inline constexpr int kMaxTypedLines = 200;

// The largest input files a run reads; a larger one is refused before a byte of it is read, so
// that no file can make a run take all memory or write listings of hundreds of megabytes.
// A paper: the header record and the 2,000 lines the reference table holds, 64 bytes each.
inline constexpr std::uint64_t kMaxPaperBytes = (kMaxReferenceLines + 1) * 64;
// A typed answer: 200 lines of even 1,000 characters are 400 kB of UTF-16; 4 MiB is ten times
// more than any test can produce.
inline constexpr std::uint64_t kMaxAnswerBytes = 4 << 20;
// A custom text: every character takes a field of 20 bytes, so 16 MiB hold the 2,000 lines of the
// reference table at some 400 characters each, 25 times the 16 of a library record's line. Read
// whole, it takes a run about five times its size in memory.
inline constexpr std::uint64_t kMaxCustomTextBytes = 16 << 20;
inline constexpr char16_t kTooSmallText[] = u"＜檔案太小＞";

// More lines than the tables hold.
class InputLimitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reference lines from the decrypted custom text: the pieces between CR LF pairs except the one
// after the last pair; pieces that are empty or blank (half-width) are skipped, the others are
// stored untrimmed. Entry 0 is the empty line. Throws InputLimitError past 2000 lines.
ReferenceLines LibLinesFromCustomText(std::u16string_view CustomText);

// Reference lines from the paper's lines as they read back from libtemp: each line is written
// followed by CR LF and the file is read back by the UTF-16 reading rules, so a line that holds a
// CR or an LF of its own comes back as more than one line. Blank lines are kept. Entry 0 is the
// empty line. Throws InputLimitError past 2000 lines.
ReferenceLines LibLinesThroughLibtemp(const std::vector<std::u16string>& paper_lines);

// The stored typed lines from the lines of the typed answer: four leading half-width blanks of a
// line longer than 4 become two full-width blanks; lines of 0 or 1 character are dropped; the
// rest lose their trailing half-width blanks. An answer with no stored line becomes an empty
// line 1 and "＜檔案太小＞" as line 2. Entry 0 is unused. Throws InputLimitError past 200 lines.
TypedLines LoadTypedLines(const std::vector<std::u16string>& answer_lines);

// "CTEST-1" for TestPart "1", "CTEST-2" for "2", empty otherwise.
std::u16string TestFileNameOf(std::u16string_view TestPart);

}  // namespace keyin
