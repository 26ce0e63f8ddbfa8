#include "platform/utf8.h"

#include <cassert>

namespace keyin {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

// The shape of a sequence by its lead byte: its length, the code point bits the lead byte holds,
// and the smallest code point the length may hold (anything below is an overlong form). A length
// of 0 marks a byte that starts no sequence.
struct Lead {
  std::size_t length = 0;
  char32_t bits = 0;
  char32_t smallest = 0;
};

Lead LeadOf(unsigned char byte) {
  if ((byte & 0xE0) == 0xC0) return {2, static_cast<char32_t>(byte & 0x1F), 0x80};
  if ((byte & 0xF0) == 0xE0) return {3, static_cast<char32_t>(byte & 0x0F), 0x800};
  if ((byte & 0xF8) == 0xF0) return {4, static_cast<char32_t>(byte & 0x07), 0x10000};
  return {};
}

}  // namespace

Utf16Character CharacterAt(std::u16string_view text, std::size_t at) {
  assert(at < text.size());
  if (IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
    return {0x10000 + ((char32_t{text[at]} - 0xD800) << 10) + (text[at + 1] - 0xDC00), 2};
  }
  return {text[at], 1};
}

std::u16string Utf16Of(char32_t code_point) {
  if (code_point > 0x10FFFF) return u"\uFFFD";
  if (code_point < 0x10000) return std::u16string(1, static_cast<char16_t>(code_point));
  code_point -= 0x10000;
  return {static_cast<char16_t>(0xD800 + (code_point >> 10)),
          static_cast<char16_t>(0xDC00 + (code_point & 0x3FF))};
}

std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (std::size_t i = 0; i < text.size();) {
    const Utf16Character character = CharacterAt(text, i);
    AppendUtf8(out, character.code_point);
    i += character.units;
  }
  return out;
}

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      ++i;
      continue;
    }
    const Lead shape = LeadOf(lead);
    char32_t code_point = shape.bits;
    bool valid = shape.length != 0 && i + shape.length <= bytes.size();
    for (std::size_t k = 1; valid && k < shape.length; ++k) {
      const auto continuation = static_cast<unsigned char>(bytes[i + k]);
      valid = (continuation & 0xC0) == 0x80;
      code_point = (code_point << 6) | (continuation & 0x3F);
    }
    if (!valid || code_point < shape.smallest || code_point > 0x10FFFF) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (code_point >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(code_point);
    }
    i += shape.length;
  }
  return out;
}

}  // namespace keyin
