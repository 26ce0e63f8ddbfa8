#include "report/results_export.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/code_page.h"
#include "report/csv.h"
#include "report/json_number.h"

namespace keyin::report {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// For each kind, the export column of each stored column.
std::vector<std::vector<std::size_t>> ColumnPlaces(const std::vector<std::string_view>& columns) {
  std::vector<std::vector<std::size_t>> places(kAllKinds.size());
  for (const ResultKind kind : kAllKinds) {
    for (const std::string_view stored : StoredColumns(kind)) {
      const auto found = std::find_if(columns.begin(), columns.end(), [&](std::string_view name) {
        return SameName(name, stored);
      });
      places[static_cast<std::size_t>(kind)].push_back(
          static_cast<std::size_t>(found - columns.begin()));
    }
  }
  return places;
}

void WriteValue(csv::Writer& out, const StoredValue* value) {
  if (value == nullptr || std::holds_alternative<std::monostate>(*value)) {
    out.Missing();
  } else if (const auto* text = std::get_if<std::u16string>(value)) {
    out.Field(*text);  // no copy: a large export writes millions of fields
  } else {
    out.Field(ValueText(*value));
  }
}

}  // namespace

std::vector<std::string_view> ExportColumns(const std::vector<ResultKind>& kinds) {
  std::vector<std::string_view> columns = {"kind"};
  for (const ResultKind kind : kAllKinds) {
    if (std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) continue;
    for (const std::string_view stored : StoredColumns(kind)) {
      const bool known = std::any_of(columns.begin(), columns.end(),
                                     [&](std::string_view name) { return SameName(name, stored); });
      if (!known) columns.push_back(stored);
    }
  }
  return columns;
}

std::u16string SummaryCsv(const SummaryTable& table, bool byte_order_mark) {
  csv::Writer out(byte_order_mark);
  for (const SummaryTable::Column& column : table.columns) out.Field(column.label);
  out.EndRecord();
  for (const std::vector<std::u16string>& row : table.rows) {
    for (const std::u16string& cell : row) out.Field(cell);
    out.EndRecord();
  }
  return out.Take();
}

std::u16string ResultsCsv(const std::vector<ResultKind>& kinds,
                          const std::vector<StoredResult>& results, bool byte_order_mark) {
  const std::vector<std::string_view> columns = ExportColumns(kinds);
  const std::vector<std::vector<std::size_t>> places = ColumnPlaces(columns);
  csv::Writer out(byte_order_mark);
  for (const std::string_view column : columns) {
    out.Field(std::u16string(column.begin(), column.end()));
  }
  out.EndRecord();
  std::vector<const StoredValue*> row(columns.size());
  for (const StoredResult& result : results) {
    std::fill(row.begin(), row.end(), nullptr);
    const std::vector<std::size_t>& place = places[static_cast<std::size_t>(result.kind)];
    for (std::size_t i = 0; i < result.values.size() && i < place.size(); ++i) {
      if (place[i] < row.size()) row[place[i]] = &result.values[i];
    }
    const std::string_view kind = KindName(result.kind);
    out.Field(std::u16string(kind.begin(), kind.end()));
    for (std::size_t i = 1; i < row.size(); ++i) WriteValue(out, row[i]);
    out.EndRecord();
  }
  return out.Take();
}

std::string ResultsJson(const std::vector<StoredResult>& results) {
  // One object per line: readable, and a line-oriented tool can still cut it apart.
  std::string out = "[";
  for (const StoredResult& result : results) {
    nlohmann::ordered_json row;
    row["kind"] = KindName(result.kind);
    const std::vector<std::string_view>& columns = StoredColumns(result.kind);
    for (std::size_t i = 0; i < columns.size() && i < result.values.size(); ++i) {
      const StoredValue& value = result.values[i];
      nlohmann::ordered_json& field = row[std::string(columns[i])];
      if (const auto* number = std::get_if<double>(&value)) {
        field = JsonNumber(*number);
      } else if (const auto* text = std::get_if<std::u16string>(&value)) {
        field = Utf16ToUtf8(*text);
      }
    }
    out += out.size() == 1 ? "\n" : ",\n";
    out += row.dump();
  }
  out += out.size() == 1 ? "]\n" : "\n]\n";
  return out;
}

std::u16string ResultsTable(const std::vector<StoredResult>& results,
                            const text_table::WidthFunction& width) {
  if (results.empty()) return u"沒有符合條件的成績。\n";
  std::vector<const StoredResult*> pointers;
  pointers.reserve(results.size());
  for (const StoredResult& result : results) pointers.push_back(&result);
  SummaryTable summary = Summarize(pointers);
  std::vector<text_table::Column> columns;
  for (const SummaryTable::Column& column : summary.columns) {
    columns.push_back({column.label, column.numeric});
  }
  return text_table::Render(columns, summary.rows, width);
}

}  // namespace keyin::report
