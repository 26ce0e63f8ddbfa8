#include "practice/code_tables.h"

#include "platform/chewing_data.h"
#include "platform/ibus_table.h"

namespace keyin {

LoadedCodes LoadCodeTable(std::string_view method) {
  if (TypesByReading(method)) {
    const std::string folder = ChewingDataFolder();
    const auto rows = ReadChewingCharacters(folder);
    if (!rows) {
      return {std::nullopt,
              "找不到注音的讀音資料 " + folder + "（請安裝 libchewing3-data），無法列出讀音"};
    }
    return {MakeReadingTable(std::string(method), *rows), ""};
  }
  const std::optional<std::string_view> name = IbusTableOf(method);
  if (!name) {
    return {std::nullopt, std::string(method) + "沒有公開的字碼表，無法列出字碼"};
  }
  const std::string path = IbusTablePath(*name);
  std::optional<IbusTable> file = ReadIbusTable(path);
  if (!file) {
    return {std::nullopt, "找不到" + std::string(method) + "的字碼表 " + path +
                              "（請安裝 ibus-table-" + std::string(*name) + "），無法列出字碼"};
  }
  return {MakeCodeTable(std::string(method), file->rows, ParseKeyNames(file->char_prompts)), ""};
}

}  // namespace keyin
