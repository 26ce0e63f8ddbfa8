#include "report/text_table.h"

#include <algorithm>

namespace keyin::text_table {
namespace {

std::u16string OneLine(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c == u'\t' || c == u'\r' || c == u'\n') {
      c = u' ';
    } else if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
      c = u'\uFFFD';
    }
  }
  return out;
}

}  // namespace

std::u16string Render(const std::vector<Column>& columns,
                      const std::vector<std::vector<std::u16string>>& rows,
                      const WidthFunction& width) {
  // Every line as its cells (made safe) and their widths, the header and the rule first.
  struct Cell {
    std::u16string text;
    std::size_t width = 0;
  };
  std::vector<std::vector<Cell>> lines;
  lines.reserve(rows.size() + 2);
  std::vector<std::size_t> widths(columns.size(), 0);
  const auto add_line = [&](auto cell_text) {
    std::vector<Cell> line(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      line[i].text = OneLine(cell_text(i));
      line[i].width = width(line[i].text);
      widths[i] = std::max(widths[i], line[i].width);
    }
    lines.push_back(std::move(line));
  };
  add_line([&](std::size_t i) { return std::u16string_view(columns[i].label); });
  lines.emplace_back();  // the rule, filled in below
  for (const std::vector<std::u16string>& row : rows) {
    add_line([&](std::size_t i) { return i < row.size() ? std::u16string_view(row[i]) : u""; });
  }
  lines[1].resize(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    lines[1][i] = {std::u16string(widths[i], u'-'), widths[i]};
  }

  std::u16string out;
  for (const std::vector<Cell>& line : lines) {
    std::u16string text;
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += u"  ";
      const std::u16string padding(widths[i] - line[i].width, u' ');
      if (columns[i].numeric) text += padding;
      text += line[i].text;
      if (!columns[i].numeric) text += padding;
    }
    text.erase(text.find_last_not_of(u' ') + 1);
    out += text;
    out += u'\n';
  }
  return out;
}

}  // namespace keyin::text_table
