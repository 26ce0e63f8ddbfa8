// UTF-16LE text files.
//
//   FF FE            byte-order mark, skipped when present (FE FF: the same, big-endian;
//                    EF BB BF: UTF-8 follows)
//   lo hi            one UTF-16 unit per byte pair, low byte first
//   0D 00 0A 00      CR LF ends a line; a lone LF (0A 00) or a lone CR (0D 00) ends one too
//   xx               a final odd byte reads as U+FFFD
#include "platform/text_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/file_system.h"
#include "platform/utf8.h"

namespace keyin {
namespace {

constexpr char16_t kCR = u'\r';
constexpr char16_t kLF = u'\n';

}  // namespace

std::string Utf16LeBytes(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string Utf16LeUnits(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2 + 1);
  std::size_t position = 0;
  for (; position + 1 < bytes.size(); position += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[position]) |
                                          static_cast<unsigned char>(bytes[position + 1]) << 8));
  }
  if (position < bytes.size()) units.push_back(u'\uFFFD');
  return units;
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != kCR && text[i] != kLF) continue;
    lines.emplace_back(text.substr(line_start, i - line_start));
    if (text[i] == kCR && i + 1 < text.size() && text[i + 1] == kLF) ++i;
    line_start = i + 1;
  }
  if (line_start < text.size()) lines.emplace_back(text.substr(line_start));
  return lines;
}

std::vector<std::u16string> SplitUtf16Lines(std::string_view bytes) {
  const bool bom = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                   static_cast<unsigned char>(bytes[1]) == 0xFE;
  return SplitLines(Utf16LeUnits(bytes.substr(bom ? 2 : 0)));
}

std::vector<std::u16string> SplitTextLines(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) return SplitLines(DecodeUtf8(bytes.substr(3)));
  if (bytes.starts_with("\xFE\xFF")) {
    std::string little_endian(bytes.substr(2));
    for (std::size_t i = 0; i + 1 < little_endian.size(); i += 2) {
      std::swap(little_endian[i], little_endian[i + 1]);
    }
    return SplitLines(Utf16LeUnits(little_endian));
  }
  return SplitUtf16Lines(bytes);
}

TextReader::TextReader(const std::string& path) : lines_(SplitTextLines(ReadWholeFile(path))) {}

TextWriter::TextWriter(const std::string& path) : path_(path) {
  const TemporaryFile temporary = CreateTemporaryFileFor(path);
  temporary_path_ = temporary.path;
  file_ = ::fdopen(temporary.descriptor, "wb");
  if (file_ == nullptr) {
    const std::string description = DescribeFileError("create", path_);
    ::close(temporary.descriptor);
    std::remove(temporary_path_.c_str());
    throw FileError(description);
  }
  Write(u"\uFEFF");
}

TextWriter::~TextWriter() { Discard(); }

void TextWriter::Discard() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  file_ = nullptr;
  std::remove(temporary_path_.c_str());
}

void TextWriter::Write(std::u16string_view text) {
  if (file_ == nullptr) throw FileError("cannot write " + path_ + ": the file is closed");
  const std::string bytes = Utf16LeBytes(text);
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
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
    const std::string description = DescribeFileError("write", path_);
    Discard();
    throw FileError(description);
  }
  std::FILE* file = std::exchange(file_, nullptr);
  if (std::fclose(file) != 0) {
    const std::string description = DescribeFileError("write", path_);
    std::remove(temporary_path_.c_str());
    throw FileError(description);
  }
  // rename replaces a link of the name with the file instead of writing through it.
  if (std::rename(temporary_path_.c_str(), path_.c_str()) != 0) {
    const std::string description = DescribeFileError("create", path_);
    std::remove(temporary_path_.c_str());
    throw FileError(description);
  }
}

}  // namespace keyin
