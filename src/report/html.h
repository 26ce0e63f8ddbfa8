// Building blocks of the system's HTML pages and reports: escaping, one self-contained page shell
// and a table. Pure functions returning UTF-16 text; the caller encodes the page as UTF-8, the
// charset the shell declares.
//
//   std::u16string body = u"<h1>" + html::EscapeText(title) + u"</h1>" + html::Table(...);
//   std::u16string page = html::Page(title, body, svg::ChartStyles());
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keyin::html {

// Text content: "&", "<" and ">" escaped. Control characters other than tab, CR and LF (which no
// HTML text may hold) become U+FFFD.
std::u16string EscapeText(std::u16string_view text);

// An attribute value for double quotes: EscapeText, and both quotes escaped as well.
std::u16string EscapeAttribute(std::u16string_view text);

// The style sheet every page shares: fonts for Traditional Chinese that need no download, text,
// tables and figures, and print rules for A4 paper in black and white.
std::u16string_view SharedStyles();

// A whole page: doctype, <html lang="zh-Hant">, UTF-8, the viewport, the escaped title, the
// shared style sheet followed by `page_css`, and `body` as given (already HTML). Nothing in the
// shell loads anything from outside and no script is needed.
std::u16string Page(std::u16string_view title, std::u16string_view body,
                    std::u16string_view page_css = {});

struct TableColumn {
  std::u16string label;
  bool numeric = false;  // class "n": right-aligned, digits of equal width
};

// A <table> with a header row (repeated on every printed page) and one row per entry of `rows`,
// each holding one plain-text cell per column (escaped here). A row with fewer cells is padded.
// `caption`, when not empty, becomes the table's caption. Cells and rows have no end tags (HTML
// needs none), which keeps tables of thousands of rows small.
std::u16string Table(const std::vector<TableColumn>& columns,
                     const std::vector<std::vector<std::u16string>>& rows,
                     std::u16string_view caption = {});

}  // namespace keyin::html
