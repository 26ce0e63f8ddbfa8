#include "report/html.h"

namespace keyin::html {
namespace {

bool IsForbiddenControl(char16_t c) {
  return (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7F && c <= 0x9F);
}

std::u16string Escape(std::u16string_view text, bool attribute) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char16_t c : text) {
    switch (c) {
      case u'&':
        out += u"&amp;";
        break;
      case u'<':
        out += u"&lt;";
        break;
      case u'>':
        out += u"&gt;";
        break;
      case u'"':
        out += attribute ? u"&quot;" : u"\"";
        break;
      case u'\'':
        out += attribute ? u"&#39;" : u"'";
        break;
      default:
        out += IsForbiddenControl(c) ? u'\uFFFD' : c;
    }
  }
  return out;
}

// Fonts of the machines that print these pages, Debian's Noto CJK first; the generic family last
// so a page never waits for a font from the network.
constexpr char16_t kSharedStyles[] =
    uR"css(
:root { color: #111; background: #fff; }
body {
  font-family: "Noto Sans CJK TC", "Noto Sans TC", "Microsoft JhengHei", "PingFang TC",
    "Heiti TC", sans-serif;
  font-size: 11pt; line-height: 1.5; margin: 24px auto; max-width: 1120px; padding: 0 16px;
}
h1 { font-size: 20pt; margin: 0 0 4px; }
h2 { font-size: 14pt; margin: 28px 0 8px; padding-bottom: 2px; border-bottom: 2px solid #111; }
p { margin: 4px 0; }
.note { color: #333; font-size: 10pt; }
table { border-collapse: collapse; width: 100%; font-size: 10pt; }
caption { text-align: left; font-weight: bold; padding: 4px 0; }
th, td { border: 1px solid #555; padding: 2px 6px; text-align: left; vertical-align: top; }
th { background: #eee; font-weight: bold; }
th.n, td.n { text-align: right; font-variant-numeric: tabular-nums; }
thead { display: table-header-group; }
tr { break-inside: avoid; }
figure { margin: 8px 0; break-inside: avoid; }
figcaption { font-size: 10pt; color: #333; }
svg { max-width: 100%; height: auto; }
@page { size: A4; margin: 14mm 12mm; }
@media print {
  body { margin: 0; max-width: none; padding: 0; font-size: 10pt; }
  h2 { break-after: avoid; }
  th { background: none; }
}
)css";

}  // namespace

std::u16string EscapeText(std::u16string_view text) { return Escape(text, false); }

std::u16string EscapeAttribute(std::u16string_view text) { return Escape(text, true); }

std::u16string_view SharedStyles() { return kSharedStyles; }

std::u16string Page(std::u16string_view title, std::u16string_view body,
                    std::u16string_view page_css) {
  std::u16string page;
  page.reserve(body.size() + page_css.size() + 2048);
  page += u"<!DOCTYPE html>\n<html lang=\"zh-Hant\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += u"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
  page += EscapeText(title);
  page += u"</title>\n<style>";
  page += SharedStyles();
  page += page_css;
  page += u"</style>\n</head>\n<body>\n";
  page += body;
  page += u"</body>\n</html>\n";
  return page;
}

std::u16string Table(const std::vector<TableColumn>& columns,
                     const std::vector<std::vector<std::u16string>>& rows,
                     std::u16string_view caption) {
  std::u16string out = u"<table>";
  if (!caption.empty()) out += u"<caption>" + EscapeText(caption) + u"</caption>";
  out += u"\n<thead><tr>";
  for (const TableColumn& column : columns) {
    out += column.numeric ? u"<th class=\"n\">" : u"<th>";
    out += EscapeText(column.label);
  }
  out += u"\n<tbody>\n";
  // The end tags of cells and rows are left out, as HTML allows: a large table is a third
  // smaller.
  for (const std::vector<std::u16string>& row : rows) {
    out += u"<tr>";
    for (std::size_t i = 0; i < columns.size(); ++i) {
      out += columns[i].numeric ? u"<td class=\"n\">" : u"<td>";
      if (i < row.size()) out += EscapeText(row[i]);
    }
    out += u'\n';
  }
  out += u"</table>\n";
  return out;
}

}  // namespace keyin::html
