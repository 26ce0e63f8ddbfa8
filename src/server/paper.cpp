#include "server/paper.h"

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

}  // namespace

void InstallCustomText(const Sitting& sitting, const std::string& program_folder) {
  if (sitting.CustomText.empty()) return;
  std::string bytes;
  for (std::size_t i = 0; i < sitting.CustomText.size(); ++i) {
    try {
      bytes += Utf16ToCp950(EncryptLine(Utf8ToUtf16(sitting.CustomText[i]))) + "\r\n";
    } catch (const std::invalid_argument&) {
      throw SittingError("自建文章第 " + std::to_string(i + 1) + " 行有 Big5 沒有的字，請換掉它");
    }
  }
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
