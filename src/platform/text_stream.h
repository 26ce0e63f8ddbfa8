// UTF-16 little-endian text files with a byte-order mark: typed answers, reports, libtemp and the
// CSCR score file.
//
// Reading: the byte-order mark names the encoding: FF FE UTF-16LE, FE FF UTF-16BE, EF BB BF UTF-8
// (a typed answer saved by another editor); a file without one is read as UTF-16LE. The mark is
// not part of the text. A line ends at CR LF, at a lone LF or at a lone CR; the end is not part
// of the line. A final line without a line end is a line; nothing after the last line end is
// not. A final odd byte of UTF-16 reads as U+FFFD, as does every byte of UTF-8 that starts no
// valid sequence (utf8.h). Lone surrogates and NUL characters are kept as they are.
//
// Writing: the text goes to a new temporary file beside the path (file_system.h), which Close
// renames into place in one step, starting with the BOM; WriteLine ends with CR LF. A reader of
// the path sees the old file or the whole new one, never a part; a symbolic link of that name is
// replaced, never written through; a writer that fails or is dropped before Close removes its
// temporary file and leaves the path as it was. Every failure (create, write, close, rename)
// throws FileError naming the path and the system's reason.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_error.h"

namespace keyin {

// UTF-16 units as UTF-16LE bytes, low byte first; no BOM. Pure.
std::string Utf16LeBytes(std::u16string_view text);
// UTF-16LE bytes as UTF-16 units (a BOM is a unit like any other); a final odd byte reads as
// U+FFFD. Pure.
std::u16string Utf16LeUnits(std::string_view bytes);

// Splits text into lines: CR LF, a lone LF and a lone CR each end a line and are not part of it;
// a final line without a line end is a line, nothing after the last line end is not. Pure.
std::vector<std::u16string> SplitLines(std::u16string_view text);

// Splits UTF-16LE bytes (BOM optional) into lines by the reading rules above. Pure.
std::vector<std::u16string> SplitUtf16Lines(std::string_view bytes);

// Splits the bytes of a text file into lines by the reading rules above, in the encoding that its
// byte-order mark names. Pure.
std::vector<std::u16string> SplitTextLines(std::string_view bytes);

class TextReader {
 public:
  // Throws FileError when the file cannot be opened or read (a missing file included).
  explicit TextReader(const std::string& path);
  bool AtEnd() const { return next_ >= lines_.size(); }
  // Precondition: !AtEnd().
  std::u16string ReadLine() { return std::move(lines_[next_++]); }

 private:
  std::vector<std::u16string> lines_;
  std::size_t next_ = 0;
};

class TextWriter {
 public:
  // Creates the temporary file and writes the BOM.
  explicit TextWriter(const std::string& path);
  // Without Close: closes and removes the temporary file.
  ~TextWriter();
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  void Write(std::u16string_view text);
  void WriteLine(std::u16string_view text);
  // Flushes, closes and renames the file into place; throws when anything written was lost, and
  // then the path is left as it was.
  void Close();

 private:
  void Discard();

  std::string path_;
  std::string temporary_path_;
  std::FILE* file_ = nullptr;
};

}  // namespace keyin
