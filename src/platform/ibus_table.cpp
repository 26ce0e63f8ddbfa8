#include "platform/ibus_table.h"

#include <cstdlib>

#include "platform/code_page.h"
#include "platform/database.h"
#include "platform/file_system.h"

namespace keyin {
namespace {

std::string TextOf(const DbValue& value) {
  const auto* text = std::get_if<std::u16string>(&value);
  return text == nullptr ? std::string() : Utf16ToUtf8(*text);
}

}  // namespace

std::string IbusTablePath(std::string_view name) {
  const char* folder = std::getenv("KEYIN_IBUS_TABLES");
  return std::string(folder != nullptr && *folder != '\0' ? folder
                                                          : "/usr/share/ibus-table/tables") +
         "/" + std::string(name) + ".db";
}

std::optional<IbusTable> ReadIbusTable(const std::string& path) {
  if (!IsNormalFile(path)) return std::nullopt;
  const std::unique_ptr<DbConnection> db = OpenDatabase(path, "");
  IbusTable table;
  for (const DbRow& row :
       db->Query("SELECT tabkeys, phrase FROM phrases WHERE length(phrase) = 1 ORDER BY id")
           .TakeAll()) {
    table.rows.emplace_back(TextOf(row["tabkeys"]), TextOf(row["phrase"]));
  }
  const DbRows prompts = db->Query("SELECT val FROM ime WHERE attr = 'char_prompts'");
  if (!prompts.AtEnd()) table.char_prompts = TextOf(prompts.First()["val"]);
  return table;
}

}  // namespace keyin
