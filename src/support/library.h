// The test-paper library file (.LIB) and its readers.
//
// Little-endian, records numbered from 1:
//
//   bytes 0..1            First   int16  first record of test 1
//   bytes 2..3            Second  int16  first record of test 2 (one past the end of test 1)
//   bytes 4..5            End     int16  one past the last record of test 2
//   bytes 6..63           rest of record 1, unused
//   (r-1)*64 .. +31       record r: 32 bytes of CVL-encoded code page 950 text, blank-padded
//   (r-1)*64+32 .. r*64-1 rest of record r, unused
//
// Bad input: the general readers (Get_Lib, ReadLibRecords) read only the records that exist:
// records below 1 are skipped and the first missing record past the end stops the reading. The
// scoring run refuses a paper that it cannot score (CheckLibForScoring): scored against nothing
// or against the wrong lines, every candidate would get a wrong grade. A file of fewer than 6
// bytes is shorter than its header and fails with LibFormatError everywhere.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ansi_file.h"
#include "platform/message_box.h"

namespace keyin {

class LibFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct LibHeader {
  std::int16_t First = 0;
  std::int16_t Second = 0;
  std::int16_t End = 0;
};

// Records first .. end - 1; ranges are int so that End - 1 and friends never wrap.
struct LibRecordRange {
  int first = 0;
  int end = 0;
};

// Throws LibFormatError for a file of fewer than 6 bytes.
LibHeader ReadLibHeader(const RecordFile& file);

// One record's 32 raw bytes as a line: the CVL byte table, one conversion from code page 950,
// trailing blanks removed.
std::u16string DecodeLibRecord(std::string_view field);

// The decoded lines of the records of the range that exist, in ascending order.
std::vector<std::u16string> ReadLibRecords(const RecordFile& file, LibRecordRange range);

// Refuses a paper that the scoring run cannot score, with a LibFormatError that says why: the
// header must read 2 <= First <= Second <= End; every record the run reads (First..End-1: each
// part is scored against the whole paper) must hold its 32 bytes of text inside the file of
// `file_size` bytes; and the test that TestPart asks for ("1", "2", otherwise the whole paper)
// must have at least one record. Pure.
void CheckLibForScoring(const LibHeader& header, std::uint64_t file_size,
                        std::u16string_view TestPart);

// The lines of the paper as the scoring run reads them: for TestPart "2" records Second..End-1
// and then First..Second-1 (the second test comes first), otherwise First..End-1. Throws
// LibFormatError as ReadLibHeader and CheckLibForScoring do.
std::vector<std::u16string> ReadLibForScoring(const RecordFile& file, std::u16string_view TestPart);

struct GetLibState {
  std::u16string LibText;
  std::u16string CustomText;
};

// Reads test part "1" (First..Second-1), "2" (Second..End-1) or, for any other part, the whole
// paper (First..End-1) into state.LibText, every line followed by CR LF; once a line has been
// read, CustomText is a copy of LibText (a part without lines leaves it as it was). path is a
// file-system path; shown_path is the path as the user gave it, for the message.
// Failures show a message box and return: a missing file shows "<shown_path> 試卷檔不存在" and
// then the same text again (with the empty description of that failure); any other failure
// shows its description. LibText and CustomText keep what they held at that moment.
void Get_Lib(const std::string& path, std::u16string_view shown_path, std::u16string_view part,
             GetLibState& state, MessageSink& messages);
// As above, showing path itself.
void Get_Lib(const std::string& path, std::u16string_view part, GetLibState& state,
             MessageSink& messages);

// The bytes of a library file holding part1 as test 1 and part2 as test 2 (First = 2). Lines
// lose their trailing blanks when read back. Throws std::invalid_argument naming the part and
// the line (from 1) when a line needs more than 32 bytes of code page 950, holds a character code
// page 950 cannot hold or a line break, or when the paper has more records than the 16-bit
// header can count.
std::string EncodeLibFile(const std::vector<std::u16string>& part1,
                          const std::vector<std::u16string>& part2);

}  // namespace keyin
