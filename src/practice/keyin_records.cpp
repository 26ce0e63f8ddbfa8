#include "practice/keyin_records.h"

#include "platform/ansi_file.h"
#include "platform/code_page.h"
#include "support/decoding.h"

#include <stdexcept>

namespace keyin {

std::optional<std::size_t> MethodIndex(std::u16string_view name) {
  for (std::size_t i = 0; i < kMethodList.size(); ++i) {
    if (kMethodList[i] == name) return i;
  }
  return std::nullopt;
}

std::u16string_view EntriesPart(std::u16string_view deciphered_line) {
  const std::size_t equals = deciphered_line.find(u'=');
  if (equals == std::u16string_view::npos) return deciphered_line;
  return deciphered_line.substr(equals + 1);
}

std::vector<KeyinEntry> ParseEntries(std::u16string_view deciphered_line) {
  std::u16string_view rest = EntriesPart(deciphered_line);
  std::vector<KeyinEntry> entries;
  // Only pieces that a "|" ends are entries; the tail after the last "|" is dropped.
  for (std::size_t bar = rest.find(u'|'); bar != std::u16string_view::npos; bar = rest.find(u'|')) {
    const std::u16string_view entry = rest.substr(0, bar);
    rest.remove_prefix(bar + 1);
    const std::size_t first_comma = entry.find(u',');
    if (first_comma == std::u16string_view::npos) {
      throw KeyinRecordError("entry \"" + Utf16ToUtf8(entry) + "\" has no \",\"");
    }
    std::u16string_view method = entry.substr(first_comma + 1);
    method = method.substr(0, method.find(u','));
    entries.push_back({std::u16string(entry.substr(0, first_comma)), std::u16string(method)});
  }
  return entries;
}

std::string ModeFolderPath(const std::string& program_folder, ModeFolder mode) {
  return program_folder + (mode == ModeFolder::kExamScr ? "/ExamScr" : "/CAIScr");
}

std::string KeyinRecordPath(const std::string& program_folder, ModeFolder mode, int n) {
  return ModeFolderPath(program_folder, mode) + "/Ctest-" + std::to_string(n) + ".any";
}

std::vector<KeyinEntry> ReadKeyinRecordFile(const std::string& path, MessageSink& messages) {
  std::vector<std::u16string> deciphered;
  for (const std::u16string& line : ReadAnsiLines(path)) {
    deciphered.push_back(Decrypt(line, messages));
  }
  std::vector<KeyinEntry> entries;
  for (std::size_t i = 0; i < deciphered.size(); ++i) {
    try {
      std::vector<KeyinEntry> line_entries = ParseEntries(deciphered[i]);
      entries.insert(entries.end(), std::make_move_iterator(line_entries.begin()),
                     std::make_move_iterator(line_entries.end()));
    } catch (const KeyinRecordError& failure) {
      throw KeyinRecordError(path + ", line " + std::to_string(i + 1) + ": " + failure.what());
    }
  }
  return entries;
}

std::u16string KeyinEntryText(std::u16string_view typed) {
  std::u16string text;
  for (std::size_t i = 0; i < typed.size(); ++i) {
    // A surrogate pair is one character; code page 950 holds none of them.
    const bool pair = i + 1 < typed.size() && typed[i] >= 0xD800 && typed[i] <= 0xDBFF &&
                      typed[i + 1] >= 0xDC00 && typed[i + 1] <= 0xDFFF;
    const std::u16string_view character = typed.substr(i, pair ? 2 : 1);
    if (pair) ++i;
    if (character == u",") {
      text += u'，';
    } else if (character == u"|") {
      text += u'｜';
    } else {
      std::optional<std::string> bytes = Utf16ToCp950Exact(character);
      const bool reads_back = bytes && Cp950ToUtf16(*bytes) == character;
      text += reads_back ? character : std::u16string_view(u"？");
    }
  }
  return text;
}

std::u16string KeyinRecordLine(std::u16string_view head, const std::vector<KeyinEntry>& entries) {
  if (head.find(u'=') != std::u16string_view::npos) {
    throw std::invalid_argument("keyin record head holds \"=\"");
  }
  std::u16string line = std::u16string(head) + u"=";
  for (const KeyinEntry& entry : entries) {
    for (std::u16string_view part :
         {std::u16string_view(entry.typed), std::u16string_view(entry.method)}) {
      if (part.find_first_of(u",|") != std::u16string_view::npos) {
        throw std::invalid_argument("keyin record entry \"" + Utf16ToUtf8(part) +
                                    "\" holds \",\" or \"|\"");
      }
    }
    line += entry.typed + u"," + entry.method + u"|";
  }
  return line;
}

std::string KeyinRecordFileLine(std::u16string_view head, const std::vector<KeyinEntry>& entries) {
  return Utf16ToCp950(EncryptLine(KeyinRecordLine(head, entries))) + "\r\n";
}

void AppendKeyinRecord(const std::string& path, std::u16string_view head,
                       const std::vector<KeyinEntry>& entries) {
  AppendAnsiLine(path, EncryptLine(KeyinRecordLine(head, entries)));
}

}  // namespace keyin
