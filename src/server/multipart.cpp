#include "server/multipart.h"

#include <utility>

namespace keyin::server {

namespace {

// RFC 2046: a boundary is 1 to 70 characters.
constexpr std::size_t kMaxBoundary = 70;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// A header value with parameters: `type; name=value; name="quoted \" value"`. Parameter names
// are lower-cased; a quoted value may hold ';' and backslash escapes.
struct ValueWithParameters {
  std::string value;
  std::vector<std::pair<std::string, std::string>> parameters;

  std::optional<std::string> Parameter(std::string_view name) const {
    for (const auto& [key, value] : parameters) {
      if (key == name) return value;
    }
    return std::nullopt;
  }
};

std::optional<ValueWithParameters> ParseParameters(std::string_view text) {
  ValueWithParameters parsed;
  std::size_t at = text.find(';');
  parsed.value = Trimmed(text.substr(0, at));
  while (at < text.size()) {
    ++at;  // past ';'
    const std::size_t equals = text.find('=', at);
    const std::size_t semicolon = text.find(';', at);
    if (equals == std::string_view::npos || semicolon < equals) {
      // An empty parameter (a trailing ';') is harmless; a name without a value is not.
      if (!Trimmed(text.substr(at, semicolon - at)).empty()) return std::nullopt;
      at = semicolon;
      continue;
    }
    std::string name(Trimmed(text.substr(at, equals - at)));
    for (char& c : name) c = Lower(c);
    if (name.empty()) return std::nullopt;
    at = equals + 1;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    std::string value;
    if (at < text.size() && text[at] == '"') {
      for (++at;; ++at) {
        if (at >= text.size()) return std::nullopt;  // no closing quote
        if (text[at] == '"') break;
        if (text[at] == '\\' && at + 1 < text.size()) ++at;
        value += text[at];
      }
      ++at;  // past the closing quote
      while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
      if (at < text.size() && text[at] != ';') return std::nullopt;
    } else {
      const std::size_t end = text.find(';', at);
      value = Trimmed(text.substr(at, end - at));
      at = end;
    }
    parsed.parameters.emplace_back(std::move(name), std::move(value));
  }
  return parsed;
}

std::optional<std::string> BoundaryOf(std::string_view content_type) {
  const std::optional<ValueWithParameters> type = ParseParameters(content_type);
  if (!type || !EqualsIgnoringCase(type->value, "multipart/form-data")) return std::nullopt;
  std::optional<std::string> boundary = type->Parameter("boundary");
  if (!boundary || boundary->empty() || boundary->size() > kMaxBoundary ||
      boundary->find_first_of("\r\n") != std::string::npos) {
    return std::nullopt;
  }
  return boundary;
}

// Reads one part's header lines from `at` up to and past the blank line; false when they are
// not well formed.
bool ReadPartHeaders(std::string_view body, std::size_t& at, FormPart& part) {
  bool named = false;
  for (;;) {
    const std::size_t end = body.find("\r\n", at);
    if (end == std::string_view::npos) return false;
    const std::string_view line = body.substr(at, end - at);
    at = end + 2;
    if (line.empty()) return named;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view name = Trimmed(line.substr(0, colon));
    const std::string_view value = Trimmed(line.substr(colon + 1));
    if (EqualsIgnoringCase(name, "Content-Disposition")) {
      const std::optional<ValueWithParameters> disposition = ParseParameters(value);
      if (!disposition || !EqualsIgnoringCase(disposition->value, "form-data")) return false;
      const std::optional<std::string> part_name = disposition->Parameter("name");
      if (!part_name || part_name->empty()) return false;
      part.name = *part_name;
      part.filename = disposition->Parameter("filename").value_or("");
      named = true;
    } else if (EqualsIgnoringCase(name, "Content-Type")) {
      part.content_type = value;
    }
  }
}

}  // namespace

std::optional<std::vector<FormPart>> ParseMultipartForm(std::string_view content_type,
                                                        std::string_view body) {
  const std::optional<std::string> boundary = BoundaryOf(content_type);
  if (!boundary) return std::nullopt;
  const std::string delimiter = "\r\n--" + *boundary;

  // The first delimiter opens the body or ends the preamble's last line.
  std::size_t at;
  if (body.starts_with(std::string_view(delimiter).substr(2))) {
    at = delimiter.size() - 2;
  } else {
    const std::size_t found = body.find(delimiter);
    if (found == std::string_view::npos) return std::nullopt;
    at = found + delimiter.size();
  }

  std::vector<FormPart> parts;
  for (;;) {
    // After a delimiter: "--" for the last, else blanks (transport padding) and CRLF.
    if (body.substr(at).starts_with("--")) return parts;
    while (at < body.size() && (body[at] == ' ' || body[at] == '\t')) ++at;
    if (!body.substr(at).starts_with("\r\n")) return std::nullopt;
    at += 2;
    if (parts.size() == kMaxFormParts) return std::nullopt;

    FormPart part;
    if (!ReadPartHeaders(body, at, part)) return std::nullopt;
    const std::size_t end = body.find(delimiter, at);
    if (end == std::string_view::npos) return std::nullopt;
    part.content = body.substr(at, end - at);
    at = end + delimiter.size();
    parts.push_back(std::move(part));
  }
}

const FormPart* FindFormPart(const std::vector<FormPart>& parts, std::string_view name) {
  for (const FormPart& part : parts) {
    if (part.name == name) return &part;
  }
  return nullptr;
}

}  // namespace keyin::server
