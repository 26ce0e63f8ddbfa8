// UTF-16LE text files.
//
//   FF FE            byte-order mark, skipped when present
//   lo hi            one UTF-16 unit per byte pair, low byte first
//   0D 00 0A 00      CR LF ends a line; a lone LF (0A 00) or a lone CR (0D 00) ends one too
//   xx               a final odd byte reads as U+FFFD
#include "platform/text_stream.h"

#include <cerrno>

#include "platform/file_system.h"

namespace keyin {
namespace {

constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';

}  // namespace

std::vector<std::u16string> SplitUtf16Lines(std::string_view bytes) {
  std::size_t start = 0;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    start = 2;
  }
  std::u16string units;
  units.reserve((bytes.size() - start) / 2 + 1);
  std::size_t position = start;
  for (; position + 1 < bytes.size(); position += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[position]) |
                                          static_cast<unsigned char>(bytes[position + 1]) << 8));
  }
  if (position < bytes.size()) units.push_back(u'\uFFFD');

  std::vector<std::u16string> lines;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] != kCR && units[i] != kLF) continue;
    lines.emplace_back(units, line_start, i - line_start);
    if (units[i] == kCR && i + 1 < units.size() && units[i + 1] == kLF) ++i;
    line_start = i + 1;
  }
  if (line_start < units.size()) lines.emplace_back(units, line_start, std::u16string::npos);
  return lines;
}

TextReader::TextReader(const std::string& path) : lines_(SplitUtf16Lines(ReadWholeFile(path))) {}

TextWriter::TextWriter(const std::string& path) : path_(path) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) throw FileError(DescribeFileError("create", path));
  Write(u"\uFEFF");
}

TextWriter::~TextWriter() {
  if (file_ != nullptr) std::fclose(file_);
}

void TextWriter::Write(std::u16string_view text) {
  if (file_ == nullptr) throw FileError("cannot write " + path_ + ": the file is closed");
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    throw FileError(DescribeFileError("write", path_));
  }
}

void TextWriter::WriteLine(std::u16string_view text) {
  Write(text);
  Write(u"\r\n");
}

void TextWriter::Close() {
  if (file_ == nullptr) return;
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fflush(file) != 0 || std::ferror(file) != 0) {
    std::string description = DescribeFileError("write", path_);
    std::fclose(file);
    throw FileError(description);
  }
  if (std::fclose(file) != 0) throw FileError(DescribeFileError("close", path_));
}

}  // namespace keyin
