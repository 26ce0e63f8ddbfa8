#include "report/csv.h"

#include <utility>

namespace keyin::csv {

Writer::Writer(bool byte_order_mark) {
  if (byte_order_mark) text_ += u'\uFEFF';
}

void Writer::Separate() {
  if (record_started_) text_ += u',';
  record_started_ = true;
}

void Writer::Field(std::u16string_view text) {
  Separate();
  const bool quoted = text.empty() || text.find_first_of(u",\"\r\n") != std::u16string_view::npos;
  if (!quoted) {
    text_ += text;
    return;
  }
  text_ += u'"';
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
