// The input-method list and the keyin record files that the input front end leaves behind.
//
// A record file (Ctest-<n>.any under ExamScr/ or CAIScr/ of the program folder) is code page
// 950 text; every line goes through Decrypt. A deciphered line is
//
//   head=typed,method|typed,method|...|
//
// The head runs up to the first "=" and is skipped (a line without "=" is all entries). Every
// entry ends with "|"; whatever follows the last "|" is not an entry. An entry is cut at ",":
// before the first "," is the typed text, between the first and the second the method name,
// the rest is ignored. An entry without "," (the empty one included) is broken input and fails.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace keyin {

inline constexpr std::size_t kMethodCount = 11;

// The input methods, always handled in this order. "其他" is an ordinary member and also the
// answer when nothing was counted.
inline constexpr std::array<std::u16string_view, kMethodCount> kMethodList = {
    u"行列",   u"注音", u"新注音", u"倉頡", u"新倉頡", u"大新倉頡",
    u"嘸蝦米", u"大易", u"自然",   u"速成", u"其他"};

inline constexpr std::u16string_view kOtherMethod = u"其他";

// The position of the name in the method list (exact comparison, no folding), or nothing.
std::optional<std::size_t> MethodIndex(std::u16string_view name);

struct KeyinEntry {
  std::u16string typed;   // the text typed with the method
  std::u16string method;  // the method's name as recorded
  friend bool operator==(const KeyinEntry&, const KeyinEntry&) = default;
};

// An entry without "," in a record file.
class KeyinRecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The entries part of a deciphered line: everything after the first "=", or the whole line.
std::u16string_view EntriesPart(std::u16string_view deciphered_line);

// The entries of a deciphered line (head skipped), in order. Throws KeyinRecordError naming the
// first entry that has no ",".
std::vector<KeyinEntry> ParseEntries(std::u16string_view deciphered_line);

// The two mode folders of the program folder.
enum class ModeFolder { kExamScr, kCAIScr };

// <program folder>/ExamScr or <program folder>/CAIScr.
std::string ModeFolderPath(const std::string& program_folder, ModeFolder mode);

// <program folder>/<mode folder>/Ctest-<n>.any
std::string KeyinRecordPath(const std::string& program_folder, ModeFolder mode, int n);

// Reads the record file at path (which must exist), deciphers every line with Decrypt (a line
// that does not decipher has shown Decrypt's message and adds nothing), then parses the entries
// of every line in file order. All lines are deciphered before the first entry is parsed.
// Throws FileError when the file cannot be read, KeyinRecordError (naming the file and the line)
// for an entry without ",".
std::vector<KeyinEntry> ReadKeyinRecordFile(const std::string& path, MessageSink& messages);

// The typed text made fit for an entry: "," and "|" would cut the entry, so they become their
// full-width forms "，" and "｜"; a character that code page 950 cannot hold becomes "？".
std::u16string KeyinEntryText(std::u16string_view typed);

// The deciphered line "head=typed,method|typed,method|...|" that ParseEntries reads back into
// the same entries. Throws std::invalid_argument when the head holds "=", or a typed text or a
// method name holds "," or "|" (pass typed texts through KeyinEntryText first).
std::u16string KeyinRecordLine(std::u16string_view head, const std::vector<KeyinEntry>& entries);

// The bytes of one line of a record file: the line of KeyinRecordLine, enciphered as Decrypt
// reads it, in code page 950, with its CR LF. Throws std::invalid_argument as KeyinRecordLine
// does, or for a line that cannot be enciphered.
std::string KeyinRecordFileLine(std::u16string_view head, const std::vector<KeyinEntry>& entries);

// Appends the line of KeyinRecordFileLine to the record file at path (created when missing).
// Throws as KeyinRecordFileLine does; FileError when the file cannot be written.
void AppendKeyinRecord(const std::string& path, std::u16string_view head,
                       const std::vector<KeyinEntry>& entries);

}  // namespace keyin
