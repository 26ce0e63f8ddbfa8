// Code page 950 files: lines and fixed-length records.
//
// Lines:   ... 0D 0A ...   CR LF ends a line
//          ... 0D ...      a lone CR ends a line
//          ... 0A ...      a lone LF is part of the line
// CR (0D) is never a byte of a double-byte character, so lines are cut before decoding.
//
// Records: record n of length L starts at byte (n - 1) * L. Reads never leave the file's bytes.
#include "platform/ansi_file.h"

#include <cstdio>
#include <utility>

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace keyin {

std::vector<std::string> SplitAnsiLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r') continue;
    lines.emplace_back(bytes.substr(line_start, i - line_start));
    if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    line_start = i + 1;
  }
  if (line_start < bytes.size()) lines.emplace_back(bytes.substr(line_start));
  return lines;
}

std::vector<std::u16string> DecodeAnsiLines(std::string_view bytes) {
  std::vector<std::u16string> lines;
  for (const std::string& line : SplitAnsiLines(bytes)) lines.push_back(Cp950ToUtf16(line));
  return lines;
}

std::vector<std::u16string> ReadAnsiLines(const std::string& path) {
  return DecodeAnsiLines(ReadWholeFile(path));
}

void AppendAnsiLine(const std::string& path, std::u16string_view text) {
  std::string bytes = Utf16ToCp950(text) + "\r\n";
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) throw FileError(DescribeFileError("open for appending", path));
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) throw FileError(DescribeFileError("append to", path));
}

RecordFile::RecordFile(const std::string& path) {
  if (!PathExists(path)) WriteWholeFile(path, {});
  bytes_ = ReadWholeFile(path);
}

RecordFile RecordFile::OfBytes(std::string bytes) {
  RecordFile file;
  file.bytes_ = std::move(bytes);
  return file;
}

std::int64_t RecordFile::RecordCount(int record_length) const {
  if (record_length <= 0) return 0;
  return static_cast<std::int64_t>((bytes_.size() + record_length - 1) / record_length);
}

std::optional<std::int16_t> RecordFile::ReadInt16(std::int64_t record) const {
  if (record < 1 || record > RecordCount(2)) return std::nullopt;
  std::size_t offset = static_cast<std::size_t>(record - 1) * 2;
  if (offset + 2 > bytes_.size()) return std::nullopt;
  auto low = static_cast<unsigned char>(bytes_[offset]);
  auto high = static_cast<unsigned char>(bytes_[offset + 1]);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
}

std::optional<std::string> RecordFile::ReadTextField(std::int64_t record) const {
  constexpr std::size_t kRecordLength = 64;
  constexpr std::size_t kFieldLength = 32;
  if (record < 1 || record > RecordCount(kRecordLength)) return std::nullopt;
  std::size_t offset = static_cast<std::size_t>(record - 1) * kRecordLength;
  std::string field = bytes_.substr(offset, kFieldLength);
  field.resize(kFieldLength, ' ');
  return field;
}

}  // namespace keyin
