// How a character is typed in an input method: its keys, and the names the method's learners
// give those keys (倉頡 vfjmc 女火十一金). The codes come from the open tables Debian ships for
// IBus (ibus-table-*: one SQLite file per method, rows of keys and phrase, and the keys' names in
// its char_prompts); no table is written by hand. Pure: the tables' rows are read at the edge.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace keyin {

struct KeyCode {
  std::string keys;   // as typed: "vfjmc"
  std::string names;  // the keys' names: "女火十一金"; a key without a name stands for itself
  friend bool operator==(const KeyCode&, const KeyCode&) = default;
};

struct CodeTable {
  std::string method;  // the method's name in the method list: 倉頡 ...
  std::unordered_map<char32_t, std::vector<std::string>> codes;  // shortest first
  std::map<char, std::string> key_names;
};

// The IBus table of a method of the method list (UTF-8), by its file's name: 倉頡 is Cangjie 3
// (cangjie3), the code of Windows' 倉頡 and of the exams; 新倉頡 is Cangjie 5 (cangjie5), whose
// codes Windows' 新倉頡 follows; 速成 quick-classic; 行列 array30; 大易 easy-big. Nothing for the
// methods without an open table of this kind (注音 and 新注音 have readings instead; 嘸蝦米 and
// 自然 have none).
std::optional<std::string_view> IbusTableOf(std::string_view method);

// Whether the method types a character by its reading (注音, 新注音): libchewing's data.
bool TypesByReading(std::string_view method);

// The key names of a table's char_prompts: a Python dict of one-character keys and texts
// ({'a': '日', "'": '⺃', '\\': '＼'}). Pairs it cannot read are left out.
std::map<char, std::string> ParseKeyNames(std::string_view char_prompts);

// The table of a method from its rows (keys, character) in the table's order, and its keys'
// names. A character's codes are kept shortest first, rows of the same length in order.
CodeTable MakeCodeTable(std::string method,
                        const std::vector<std::pair<std::string, std::string>>& rows,
                        std::map<char, std::string> key_names);

// The reading table of 注音 or 新注音 from libchewing's (syllable, character) rows: each
// syllable as the standard (大千) keyboard types it, its symbols and then its tone's key (a
// blank for the first tone), named by the symbols (1up  ㄅㄧㄣ, 2k7 ㄉㄜ˙). A syllable id holds
// initial, medial, final and tone in 5, 2, 4 and 3 bits.
CodeTable MakeReadingTable(std::string method,
                           const std::vector<std::pair<std::uint16_t, std::string>>& rows);

// The codes of a character, shortest first; none when the table lacks it.
std::vector<KeyCode> CodesOf(const CodeTable& table, char32_t character);

// The keys a character of the text needs on average in the table's method, by its shortest code
// (注音 with its tone's key), over the characters the table has; nothing when it has none. A
// speed in characters per minute times this is the speed in keys per minute, which compares
// typists of different methods fairly.
std::optional<double> KeysPerCharacter(const CodeTable& table, std::u16string_view text);

}  // namespace keyin
