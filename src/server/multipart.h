// The parts of a multipart/form-data body, as a browser sends a form with files. Pure.
//
//   Content-Type: multipart/form-data; boundary=XYZ     (the boundary may be quoted)
//
//   <preamble, ignored>--XYZ CRLF
//   Content-Disposition: form-data; name="roster"; filename="roster.csv" CRLF
//   Content-Type: text/csv CRLF
//   CRLF
//   <content, any bytes> CRLF --XYZ CRLF
//   ... more parts ...
//   <content> CRLF --XYZ-- <epilogue, ignored>
//
// A part's content ends at the first CRLF "--XYZ"; header names compare case-insensitively and
// headers other than these two are ignored. Bad input (another type, no boundary, a part without
// a name or a blank line, a body cut short, more than kMaxFormParts parts): nothing, never a part
// of a broken form.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keyin::server {

struct FormPart {
  std::string name;
  std::string filename;      // empty for a field that is not a file
  std::string content_type;  // empty when the part names none
  std::string content;       // byte for byte
};

inline constexpr std::size_t kMaxFormParts = 64;

// The parts in the order of the body, or nothing.
std::optional<std::vector<FormPart>> ParseMultipartForm(std::string_view content_type,
                                                        std::string_view body);

// The first part of that name, or nullptr.
const FormPart* FindFormPart(const std::vector<FormPart>& parts, std::string_view name);

}  // namespace keyin::server
