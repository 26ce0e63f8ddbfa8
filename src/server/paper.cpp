#include "server/paper.h"

#include <cstdint>

#include "platform/code_page.h"
#include "platform/durable_file.h"
#include "platform/file_system.h"
#include "platform/paths.h"
#include "support/decoding.h"
#include "support/library.h"
#include "support/text.h"

namespace keyin::server {

namespace {

std::string CustomTextPath(const Sitting& sitting, const std::string& program_folder) {
  return PathTranslator(program_folder)(program_folder + "/lib/" + sitting.ExamPaperNo + ".cus");
}

std::vector<std::string> Utf8Lines(const std::vector<std::u16string>& lines) {
  std::vector<std::string> result;
  for (const std::u16string& line : lines) result.push_back(Utf16ToUtf8(line));
  return result;
}

// Lines as keyin-tool make-lib reads a text file.
std::vector<std::u16string> TextLines(std::string_view text) {
  std::vector<std::u16string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(Utf8ToUtf16(line));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

int Int16At(std::string_view bytes, std::size_t at) {
  return static_cast<std::int16_t>(static_cast<unsigned char>(bytes[at]) |
                                   (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

}  // namespace

MadePaper MakePaper(std::string_view part1, std::string_view part2) {
  MadePaper paper;
  const std::vector<std::u16string> lines[] = {TextLines(part1), TextLines(part2)};
  for (int part = 0; part < 2; ++part) {
    if (lines[part].empty()) {
      throw SittingError("第 " + std::to_string(part + 1) + " 部分沒有文字");
    }
  }
  try {
    paper.bytes = EncodeLibFile(lines[0], lines[1]);
  } catch (const std::invalid_argument& failure) {
    throw SittingError(std::string("這份文字無法做成試卷：") + failure.what());
  }
  // Read back from the bytes, as a sitting reads the paper.
  const int first = Int16At(paper.bytes, 0), second = Int16At(paper.bytes, 2),
            end = Int16At(paper.bytes, 4);
  for (const auto& [from, to] : {std::pair{first, second}, std::pair{second, end}}) {
    std::vector<std::string> part;
    for (int record = from; record < to; ++record) {
      const std::size_t at = static_cast<std::size_t>(record - 1) * 64;
      part.push_back(Utf16ToUtf8(DecodeLibRecord(std::string_view(paper.bytes).substr(at, 32))));
    }
    paper.parts.push_back(std::move(part));
  }
  return paper;
}

std::string CustomTextBytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    try {
      bytes += Utf16ToCp950(EncryptLine(Utf8ToUtf16(lines[i]))) + "\r\n";
    } catch (const std::invalid_argument&) {
      throw SittingError("自建文章第 " + std::to_string(i + 1) + " 行有 Big5 沒有的字，請換掉它");
    }
  }
  return bytes;
}

void InstallCustomText(const Sitting& sitting, const std::string& program_folder) {
  if (sitting.CustomText.empty()) return;
  const std::string bytes = CustomTextBytes(sitting.CustomText);
  const std::string path = CustomTextPath(sitting, program_folder);
  try {
    CreateFolders(path.substr(0, path.rfind('/')));
    WriteFileDurably(path, bytes);
  } catch (const FileError& failure) {
    throw SittingError(std::string("無法寫入自建文章：") + failure.what());
  }
}

Paper LoadPaper(const Sitting& sitting, const std::string& program_folder) {
  Paper paper;
  if (ScoresCustomText(KindOf(sitting))) {
    const std::string path = CustomTextPath(sitting, program_folder);
    if (!IsNormalFile(path)) throw SittingError("找不到自建文章 " + path);
    RecordingMessageSink messages;
    std::vector<std::u16string> lines;
    // The scorer skips lines that are blank once trimmed; so does the reference shown.
    for (const std::u16string& encoded : ReadAnsiLines(path)) {
      std::u16string line = Decrypt(encoded, messages);
      if (!TrimBlanks(line).empty()) lines.push_back(std::move(line));
    }
    if (!messages.shown.empty()) throw SittingError("自建文章 " + path + " 有無法解讀的行");
    paper.parts.push_back(Utf8Lines(lines));
  } else {
    const std::string path =
        PathTranslator(program_folder)(sitting.LibPath + sitting.ExamPaperNo + ".LIB");
    if (!IsNormalFile(path)) throw SittingError("找不到試卷檔 " + path);
    try {
      RecordFile file(path);
      const LibHeader header = ReadLibHeader(file);
      paper.parts.push_back(Utf8Lines(ReadLibRecords(file, {header.First, header.Second})));
      if (PartCount(sitting) == 2) {
        paper.parts.push_back(Utf8Lines(ReadLibRecords(file, {header.Second, header.End})));
      }
    } catch (const std::exception& failure) {
      throw SittingError("試卷檔 " + path + " 無法讀取：" + failure.what());
    }
  }
  for (std::size_t part = 0; part < paper.parts.size(); ++part) {
    if (paper.parts[part].empty()) {
      throw SittingError("試卷第 " + std::to_string(part + 1) + " 部分是空的");
    }
  }
  return paper;
}

}  // namespace keyin::server
