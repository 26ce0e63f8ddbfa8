// The open input-method tables of IBus that Debian ships (ibus-table-cangjie3 and the others):
// each an SQLite file with a table phrases(tabkeys, phrase) and the keys' names in ime.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace keyin {

struct IbusTable {
  std::vector<std::pair<std::string, std::string>> rows;  // (keys, character), in the table's order
  std::string char_prompts;                               // the keys' names, as the file keeps them
};

// Where the table of that name is: KEYIN_IBUS_TABLES, or /usr/share/ibus-table/tables.
std::string IbusTablePath(std::string_view name);

// The rows of single characters and the char_prompts of the table's file; nothing when there is
// no such file (its package is not installed). Throws DatabaseError for a file it cannot read.
std::optional<IbusTable> ReadIbusTable(const std::string& path);

}  // namespace keyin
