// Readers and the writer of the test-paper library file; the layout is in library.h.
//
// A record's raw bytes go through the CVL byte table and are converted once. Reading them as
// text first and handing that to CVL, which converts back to bytes, gives the same line whenever
// the conversion is lossless, and this way nothing is lost when it is not.
#include "support/library.h"

#include <algorithm>
#include <functional>

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "support/decoding.h"
#include "support/text.h"

namespace keyin {
namespace {

constexpr int kHeaderBytes = 6;
constexpr std::size_t kRecordLength = 64;
constexpr std::size_t kFieldLength = 32;
constexpr int kFirstTextRecord = 2;
constexpr int kMaxHeaderValue = 32767;

// Calls visit with the line of every record of the range that exists, in ascending order.
void ForEachLibRecord(const RecordFile& file, LibRecordRange range,
                      const std::function<void(std::u16string)>& visit) {
  for (int record = std::max(range.first, 1); record < range.end; ++record) {
    const std::optional<std::string> field = file.ReadTextField(record);
    if (!field) break;  // past the end of the file: no later record exists either
    visit(DecodeLibRecord(*field));
  }
}

void AppendInt16(std::string& bytes, int value) {
  const auto bits = static_cast<std::uint16_t>(value);
  bytes += static_cast<char>(bits & 0xFF);
  bytes += static_cast<char>(bits >> 8);
}

std::string EncodeLibRecord(const std::u16string& line, const std::string& where) {
  if (line.find_first_of(u"\r\n") != std::u16string::npos) {
    throw std::invalid_argument(where + ": a line cannot hold a line break");
  }
  std::string bytes = CV2BExact(line, where);
  if (bytes.size() > kFieldLength) {
    throw std::invalid_argument(where + ": needs " + std::to_string(bytes.size()) +
                                " bytes of code page 950, a record holds " +
                                std::to_string(kFieldLength));
  }
  bytes.resize(kFieldLength, ' ');
  std::string record = CVLBytes(bytes);
  if (DecodeLibRecord(record) != TrimTrailingBlanks(line)) {
    throw std::invalid_argument(where + ": does not read back as written");
  }
  record.resize(kRecordLength, ' ');
  return record;
}

}  // namespace

LibHeader ReadLibHeader(const RecordFile& file) {
  const auto first = file.ReadInt16(1);
  const auto second = file.ReadInt16(2);
  const auto end = file.ReadInt16(3);
  if (!first || !second || !end) {
    throw LibFormatError("test-paper file of " + std::to_string(file.Size()) +
                         " bytes is shorter than its " + std::to_string(kHeaderBytes) +
                         "-byte header");
  }
  return {*first, *second, *end};
}

std::u16string DecodeLibRecord(std::string_view field) {
  return TrimTrailingBlanks(CV2U(CVLBytes(field)));
}

std::vector<std::u16string> ReadLibRecords(const RecordFile& file, LibRecordRange range) {
  std::vector<std::u16string> lines;
  ForEachLibRecord(file, range,
                   [&lines](std::u16string line) { lines.push_back(std::move(line)); });
  return lines;
}

void CheckLibForScoring(const LibHeader& header, std::uint64_t file_size,
                        std::u16string_view TestPart) {
  const std::string numbers = "(First " + std::to_string(header.First) + ", Second " +
                              std::to_string(header.Second) + ", End " +
                              std::to_string(header.End) + ")";
  if (!(kFirstTextRecord <= header.First && header.First <= header.Second &&
        header.Second <= header.End)) {
    throw LibFormatError("the test paper's header " + numbers +
                         " is damaged: it must read 2 <= First <= Second <= End");
  }
  LibRecordRange asked{header.First, header.End};
  std::string what = "the paper";
  if (TestPart == u"1" || TestPart == u"2") {
    asked = TestPart == u"1" ? LibRecordRange{header.First, header.Second}
                             : LibRecordRange{header.Second, header.End};
    what = "test " + Utf16ToUtf8(TestPart);
  }
  if (asked.first == asked.end) {
    throw LibFormatError("the test paper's header " + numbers + " gives " + what + " no line");
  }
  const std::uint64_t last = static_cast<std::uint64_t>(header.End - 1);
  if ((last - 1) * kRecordLength + kFieldLength > file_size) {
    throw LibFormatError("the test paper's header " + numbers + " reaches record " +
                         std::to_string(last) + ", past the end of the file of " +
                         std::to_string(file_size) + " bytes");
  }
}

std::vector<std::u16string> ReadLibForScoring(const RecordFile& file,
                                              std::u16string_view TestPart) {
  const LibHeader header = ReadLibHeader(file);
  CheckLibForScoring(header, file.Size(), TestPart);
  if (TestPart != u"2") return ReadLibRecords(file, {header.First, header.End});
  std::vector<std::u16string> lines = ReadLibRecords(file, {header.Second, header.End});
  std::vector<std::u16string> first_test = ReadLibRecords(file, {header.First, header.Second});
  lines.insert(lines.end(), std::make_move_iterator(first_test.begin()),
               std::make_move_iterator(first_test.end()));
  return lines;
}

void Get_Lib(const std::string& path, std::u16string_view shown_path, std::u16string_view part,
             GetLibState& state, MessageSink& messages) {
  // What the failure message starts with: the missing-file text, or nothing.
  std::u16string message;
  bool any_line = false;
  try {
    if (!IsNormalFile(path)) {
      message = std::u16string(shown_path) + u" 試卷檔不存在";
      messages.Show(message, u"");
      messages.Show(message, u"");  // the handler's box, with an empty description
      return;
    }
    const RecordFile file(path);
    const LibHeader header = ReadLibHeader(file);
    state.LibText.clear();
    LibRecordRange range{header.First, header.End};
    if (part == u"1") range = {header.First, header.Second};
    if (part == u"2") range = {header.Second, header.End};
    ForEachLibRecord(file, range, [&](std::u16string line) {
      state.LibText += line;
      state.LibText += u"\r\n";
      any_line = true;
    });
  } catch (const std::exception& failure) {
    messages.Show(message + Utf8ToUtf16(failure.what()), u"");
  }
  // CustomText follows LibText line by line; copied once at the end, where it stands the same.
  if (any_line) state.CustomText = state.LibText;
}

void Get_Lib(const std::string& path, std::u16string_view part, GetLibState& state,
             MessageSink& messages) {
  Get_Lib(path, Utf8ToUtf16(path), part, state, messages);
}

std::string EncodeLibFile(const std::vector<std::u16string>& part1,
                          const std::vector<std::u16string>& part2) {
  const std::size_t lines = part1.size() + part2.size();
  if (lines > static_cast<std::size_t>(kMaxHeaderValue - kFirstTextRecord)) {
    throw std::invalid_argument("test paper of " + std::to_string(lines) +
                                " lines; a library file holds at most " +
                                std::to_string(kMaxHeaderValue - kFirstTextRecord));
  }
  const int second = kFirstTextRecord + static_cast<int>(part1.size());
  const int end = second + static_cast<int>(part2.size());

  std::string bytes;
  bytes.reserve((lines + 1) * kRecordLength);
  AppendInt16(bytes, kFirstTextRecord);
  AppendInt16(bytes, second);
  AppendInt16(bytes, end);
  bytes.resize(kRecordLength, '\0');
  const std::vector<std::u16string>* parts[] = {&part1, &part2};
  for (int p = 0; p < 2; ++p) {
    for (std::size_t i = 0; i < parts[p]->size(); ++i) {
      bytes += EncodeLibRecord((*parts[p])[i],
                               "part " + std::to_string(p + 1) + ", line " + std::to_string(i + 1));
    }
  }
  return bytes;
}

}  // namespace keyin
