// Columns of text aligned for a terminal, where a Chinese character takes two columns. The width
// of a text is a property of its characters that the caller supplies (platform/text_width.h looks
// it up in ICU), so this unit stays a pure function.
//
//   姓名    速度
//   ------  ----
//   王小明    42
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace keyin::text_table {

// The number of terminal columns a text takes.
using WidthFunction = std::function<std::size_t(std::u16string_view)>;

struct Column {
  std::u16string label;
  bool numeric = false;  // right-aligned
};

// A header line, a line of "-" under each label, then one line per row; columns two blanks
// apart, each as wide as its widest cell; lines end with LF and carry no trailing blanks. Cells
// are shown on one line: tab, CR and LF become a blank, and every other control character (which
// could steer the terminal) becomes U+FFFD. A row with fewer cells is padded with empty ones.
std::u16string Render(const std::vector<Column>& columns,
                      const std::vector<std::vector<std::u16string>>& rows,
                      const WidthFunction& width);

}  // namespace keyin::text_table
