// The two encoded forms of test text and the code-page helpers around them.
//
// Custom text (.cus): one encoded line per text line, fields of 20 characters, field k (from 1)
// holding a decimal number for the k-th character. Library record (.LIB): bytes of code page 950
// under a fixed substitution that is its own inverse.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace keyin {

// Decodes one custom-text line. For field k:
//   code = RoundHalfEven(number / 0.27359418062 * 23.6041879532 / 0.731264985024613 / k)
// read as a character code of code page 950: 0..255 one byte, 256..65535 lead * 256 + trail,
// -32768..-1 taken + 65536. A field that holds no number reads as 0 (a NUL character). Each
// character's bytes are converted on their own, so a byte that is no character becomes the
// converter's substitution character.
// Bad input: a code outside those ranges (huge, infinite, out of range) or a line of 32,767 or
// more fields shows one message box (description followed by "解密", no title) and gives the
// empty text; the whole line is lost, not only the failing field.
std::u16string Decrypt(std::u16string_view line, MessageSink& messages);

// The byte substitution of library records over raw bytes; CVLBytes(CVLBytes(b)) == b.
std::string CVLBytes(std::string_view bytes);

// CVLBytes on the text's bytes of code page 950. Lossless whenever the text survives the
// code-page round trip. Throws std::overflow_error for more than 32,767 bytes (the routine's
// byte counter is 16-bit).
std::u16string CVL(std::u16string_view text);

// Text <-> bytes of code page 950, with the converter's substitutions for what does not convert.
std::string CV2B(std::u16string_view text);
std::u16string CV2U(std::string_view bytes);

// Bytes of code page 950 for the text; throws std::invalid_argument naming `where` and the first
// character that code page 950 cannot hold. For writers that must not lose text.
std::string CV2BExact(std::u16string_view text, std::string_view where);

// s repeated n times; the empty text for n <= 0.
std::u16string GetSomeString(std::u16string_view s, int n);

// Encodes one line as a custom-text line that Decrypt turns back into the same line: every
// field exactly 20 characters, the number right-aligned. Throws std::invalid_argument for a
// character code page 950 cannot hold, or a line Decrypt could not read back (32,767 or more
// characters).
std::u16string EncryptLine(std::u16string_view line);

// The bytes of a custom text (.cus) holding the lines: each line encrypted, in code page 950, and
// followed by CR LF. Throws std::runtime_error naming the first line (from 1) that cannot be
// encoded or does not decrypt back to itself: a custom text never holds another text than asked.
std::string EncodeCustomText(const std::vector<std::u16string>& lines);

}  // namespace keyin
