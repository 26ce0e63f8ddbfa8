#include "keyin_record_writer.h"

#include "harness.h"
#include "platform/code_page.h"
#include "support/decoding.h"

namespace keyin::e2e {

std::string KeyinRecordLine(const std::string& head, const std::vector<KeyinRecordEntry>& entries) {
  std::string line = head;
  for (const KeyinRecordEntry& entry : entries) line += entry.typed + "," + entry.method + "|";
  return line;
}

std::string EncodeKeyinRecordLine(const std::string& plain_line) {
  return CV2BExact(EncryptLine(Utf8ToUtf16(plain_line)), "keyin record line");
}

void WriteKeyinRecordFile(const std::filesystem::path& path,
                          const std::vector<std::string>& plain_lines) {
  std::string bytes;
  for (const std::string& line : plain_lines) bytes += EncodeKeyinRecordLine(line) + "\r\n";
  WriteBytes(path, bytes);
}

std::string ReadAnsiText(const std::filesystem::path& path) {
  return Utf16ToUtf8(Cp950ToUtf16(ReadBytes(path)));
}

}  // namespace keyin::e2e
