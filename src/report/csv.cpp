#include "report/csv.h"

#include <utility>

namespace keyin::csv {
namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A negative number as the system writes one: "-", digits, an optional fraction and an optional
// exponent (-3, -0.5, -1E-05). Nothing else after the sign passes.
bool IsNegativeNumber(std::u16string_view text) {
  std::size_t i = 1;  // after the "-"
  const auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i > start;
  };
  if (!digits()) return false;
  if (i < text.size() && text[i] == u'.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < text.size() && (text[i] == u'E' || text[i] == u'e')) {
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
    if (!digits()) return false;
  }
  return i == text.size();
}

// The characters by which a spreadsheet program starts a formula (OWASP, CSV injection).
bool RunsAsFormula(std::u16string_view text) {
  if (text.empty()) return false;
  switch (text.front()) {
    case u'-':
      return !IsNegativeNumber(text);
    case u'=':
    case u'+':
    case u'@':
      return true;
    case u'\t':
    case u'\r':
      // Only blanks and line ends hold no formula: a mock test's wrong words are often CR LF.
      return text.find_first_not_of(u" \t\r\n") != std::u16string_view::npos;
    default:
      return false;
  }
}

}  // namespace

Writer::Writer(bool byte_order_mark) {
  if (byte_order_mark) text_ += u'\uFEFF';
}

void Writer::Separate() {
  if (record_started_) text_ += u',';
  record_started_ = true;
}

void Writer::Field(std::u16string_view text) {
  Separate();
  const bool formula = RunsAsFormula(text);
  const bool quoted = text.empty() || text.find_first_of(u",\"\r\n") != std::u16string_view::npos;
  if (!quoted) {
    if (formula) text_ += u'\'';
    text_ += text;
    return;
  }
  text_ += u'"';
  if (formula) text_ += u'\'';
  for (const char16_t c : text) {
    if (c == u'"') text_ += u'"';
    text_ += c;
  }
  text_ += u'"';
}

void Writer::Missing() { Separate(); }

void Writer::EndRecord() {
  text_ += u"\r\n";
  record_started_ = false;
}

std::u16string Writer::Take() {
  record_started_ = false;
  return std::exchange(text_, {});
}

}  // namespace keyin::csv
