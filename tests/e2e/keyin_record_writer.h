// Keyin record files (Ctest-<n>.any) written from plain text, as the input front end leaves
// them: every line encoded like a custom text line, in code page 950, ended by CR LF.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace keyin::e2e {

struct KeyinRecordEntry {
  std::string typed;   // UTF-8
  std::string method;  // UTF-8
};

// A plain record line: the head (e.g. "3=") followed by "typed,method|" for every entry.
std::string KeyinRecordLine(const std::string& head, const std::vector<KeyinRecordEntry>& entries);

// The code page 950 bytes of one encoded line (no line end) for a plain UTF-8 line.
std::string EncodeKeyinRecordLine(const std::string& plain_line);

// Writes the file: every plain UTF-8 line encoded and followed by CR LF.
void WriteKeyinRecordFile(const std::filesystem::path& path,
                          const std::vector<std::string>& plain_lines);

// A code page 950 text file (KeyinDetial.txt) as UTF-8, line ends kept as they are.
std::string ReadAnsiText(const std::filesystem::path& path);

}  // namespace keyin::e2e
