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

#include <string>
#include <string_view>

namespace keyin {

// UTF-16 -> UTF-8 by the table above. Never fails.
std::string EncodeUtf8(std::u16string_view text);

// UTF-8 -> UTF-16 by the table above. Never fails.
std::u16string DecodeUtf8(std::string_view bytes);

}  // namespace keyin
