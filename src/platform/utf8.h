// UTF-8 as the database store sends and reads text. Unlike the conversions of code_page.h, which
// replace a lone surrogate by U+FFFD, this codec loses nothing: a lone surrogate (a broken typed
// answer) is written as its own three bytes and read back unchanged.
//
//   U+0000..U+007F      0xxxxxxx
//   U+0080..U+07FF      110xxxxx 10xxxxxx
//   U+0800..U+FFFF      1110xxxx 10xxxxxx 10xxxxxx           (a lone surrogate too)
//   U+10000..U+10FFFF   11110xxx 10xxxxxx 10xxxxxx 10xxxxxx  (a surrogate pair, never as two
//                                                             three-byte forms)
//
// Bad input: every byte that does not start a valid sequence reads as one U+FFFD, and the next
// byte is read afresh. An overlong form (a code point written with more bytes than it needs), a
// code point above U+10FFFF, a sequence cut short and a stray continuation byte are all invalid.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace keyin {

// UTF-16 -> UTF-8 by the table above. Never fails.
std::string EncodeUtf8(std::u16string_view text);

// UTF-8 -> UTF-16 by the table above. Never fails.
std::u16string DecodeUtf8(std::string_view bytes);

// One character of UTF-16 text: a surrogate pair is one code point of two units; any other unit,
// a lone surrogate too, is itself, one unit long (what to show for a lone one is the caller's).
struct Utf16Character {
  char32_t code_point = 0;
  std::size_t units = 0;
};

// The character that starts at unit `at` (at < text.size()).
Utf16Character CharacterAt(std::u16string_view text, std::size_t at);

// The units of a code point: two for one above U+FFFF, else the one unit it is; U+FFFD for a
// value above U+10FFFF.
std::u16string Utf16Of(char32_t code_point);

}  // namespace keyin
