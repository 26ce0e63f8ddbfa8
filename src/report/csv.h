// CSV as RFC 4180 writes it, for spreadsheet programs: fields separated by ",", every record
// ended by CR LF, a field between double quotes (its quotes doubled) when it holds a comma, a
// quote, CR or LF. A missing value is written as nothing and an empty text as "", so the two stay
// apart, as the sqlite shell's CSV mode keeps them. The text is UTF-16; the caller encodes it.
//
// A field that a spreadsheet program would take for a formula, one that starts with "=", "+",
// "-", "@", a tab or a CR (a name typed as =HYPERLINK(...) or =cmd|...), is written with a single
// quote in front, so that it shows as the text it is and runs nothing. A number such as -3 or
// -0.5 is written as it stands: it runs nothing, and the column stays numeric; so is a field of
// blanks and line ends only (the wrong words of a mock test without any are CR LF).
//
//   csv::Writer out(/*byte_order_mark=*/true);
//   out.Field(u"姓名"); out.Field(u"速度"); out.EndRecord();
//   out.Field(u"王, \"小\"明"); out.Missing(); out.EndRecord();
//   out.Field(u"=1+1"); out.Field(u"-3"); out.EndRecord();
//   std::u16string text = out.Take();   // U+FEFF 姓名,速度 CR LF "王, ""小""明", CR LF '=1+1,-3 CR
//   LF
#pragma once

#include <string>
#include <string_view>

namespace keyin::csv {

class Writer {
 public:
  // With `byte_order_mark` the text starts with U+FEFF, which UTF-8 writes as EF BB BF: the sign
  // by which spreadsheet programs tell UTF-8 from the local code page.
  explicit Writer(bool byte_order_mark);

  // Appends one field to the current record; a would-be formula gets its quote (above).
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
