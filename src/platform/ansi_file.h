// Files of code page 950 bytes: custom texts, keyin record files, KeyinDetial.txt, and the
// fixed-length record files of the test-paper library.
//
// Line reading: a line ends at CR or at CR LF (not part of the line); a lone LF stays inside the
// line. A last line without a line end is a line. Each line is converted from code page 950 with
// the converter's substitution for invalid bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_error.h"

namespace keyin {

// Splits code-page-950 bytes into lines by the rules above, without converting them. Pure.
std::vector<std::string> SplitAnsiLines(std::string_view bytes);

// The lines of code-page-950 bytes, each converted to UTF-16.
std::vector<std::u16string> DecodeAnsiLines(std::string_view bytes);

// Reads every line of the file, converted to UTF-16. Throws FileError when it cannot be read.
std::vector<std::u16string> ReadAnsiLines(const std::string& path);

// Appends the text as code page 950 followed by CR LF; creates the file when missing.
void AppendAnsiLine(const std::string& path, std::u16string_view text);

// A file read in fixed-length records, numbered from 1. Opening a missing file creates it
// empty, so a reader meets an empty file rather than an error (readers that must not create a
// file check that it exists first). A record counts as present when
// its first byte lies inside the file; bytes past the end read as blanks (text) or as 0.
class RecordFile {
 public:
  explicit RecordFile(const std::string& path);  // throws FileError
  // The records of bytes already read.
  static RecordFile OfBytes(std::string bytes);

  std::uint64_t Size() const { return bytes_.size(); }
  // Whole records of the given length that start inside the file.
  std::int64_t RecordCount(int record_length) const;
  // Record n (1-based) of 2-byte records as a 16-bit signed little-endian integer; nothing when
  // the record lies wholly or partly outside the file.
  std::optional<std::int16_t> ReadInt16(std::int64_t record) const;
  // The first 32 bytes of record n of 64-byte records, padded with blanks at the end of the
  // file; nothing when the record starts outside the file or n < 1.
  std::optional<std::string> ReadTextField(std::int64_t record) const;

 private:
  RecordFile() = default;
  std::string bytes_;
};

}  // namespace keyin
