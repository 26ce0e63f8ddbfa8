// CSV as RFC 4180 writes it, for spreadsheet programs: fields separated by ",", every record
// ended by CR LF, a field between double quotes (its quotes doubled) when it holds a comma, a
// quote, CR or LF. A missing value is written as nothing and an empty text as "", so the two stay
// apart, as the sqlite shell's CSV mode keeps them. The text is UTF-16; the caller encodes it.
//
//   csv::Writer out(/*byte_order_mark=*/true);
//   out.Field(u"姓名"); out.Field(u"速度"); out.EndRecord();
//   out.Field(u"王, \"小\"明"); out.Missing(); out.EndRecord();
//   std::u16string text = out.Take();   // U+FEFF 姓名,速度 CR LF "王, ""小""明", CR LF
#pragma once

#include <string>
#include <string_view>

namespace keyin::csv {

class Writer {
 public:
  // With `byte_order_mark` the text starts with U+FEFF, which UTF-8 writes as EF BB BF: the sign
  // by which spreadsheet programs tell UTF-8 from the local code page.
  explicit Writer(bool byte_order_mark);

  // Appends one field to the current record.
  void Field(std::u16string_view text);
  // Appends a field with no value.
  void Missing();
  // Ends the current record with CR LF.
  void EndRecord();

  // The text written so far; the writer is empty afterwards.
  std::u16string Take();

 private:
  void Separate();

  std::u16string text_;
  bool record_started_ = false;
};

}  // namespace keyin::csv
