// Decrypt on arbitrary custom-text lines: the input read as code page 950 bytes (as a .cus line
// is read) and, separately, as UTF-16LE code units. A line either decodes, one to four units per
// 20-character field and no message, or shows exactly one message ending in "解密" and gives the
// empty text. Whatever decodes and re-encodes must decode back to itself.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/code_page.h"
#include "platform/message_box.h"
#include "support/decoding.h"

namespace keyin {
namespace {

constexpr std::size_t kFieldWidth = 20;
constexpr std::u16string_view kFailureSuffix = u"解密";

std::u16string Utf16LeUnits(std::string_view bytes) {
  std::u16string units;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return units;
}

// The line's decoded text, after checking what Decrypt promises about one call.
std::u16string CheckedDecrypt(std::u16string_view line) {
  RecordingMessageSink messages;
  const std::u16string text = Decrypt(line, messages);
  FUZZ_CHECK(messages.shown.size() <= 1);
  if (!messages.shown.empty()) {
    FUZZ_CHECK(text.empty());
    FUZZ_CHECK(messages.shown[0].title.empty());
    FUZZ_CHECK(messages.shown[0].text.ends_with(kFailureSuffix));
    return text;
  }
  // Each field is one character code of one or two bytes; a byte decodes to one or two units.
  const std::size_t fields = (line.size() + kFieldWidth - 1) / kFieldWidth;
  FUZZ_CHECK(text.size() >= fields);
  FUZZ_CHECK(text.size() <= 4 * fields);
  return text;
}

// A text that EncryptLine accepts comes back from Decrypt unchanged, in fields of 20.
void CheckEncryptRoundTrip(std::u16string_view text) {
  std::u16string encoded;
  try {
    encoded = EncryptLine(text);
  } catch (const std::invalid_argument&) {
    return;  // a character code page 950 cannot hold, or one that shares its code
  }
  FUZZ_CHECK(encoded.size() == kFieldWidth * text.size());
  RecordingMessageSink messages;
  FUZZ_CHECK(Decrypt(encoded, messages) == text);
  FUZZ_CHECK(messages.shown.empty());
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::u16string as_read = keyin::CheckedDecrypt(keyin::Cp950ToUtf16(bytes));
  keyin::CheckEncryptRoundTrip(as_read);
  const std::u16string units = keyin::Utf16LeUnits(bytes);
  keyin::CheckedDecrypt(units);
  keyin::CheckEncryptRoundTrip(units);
  return 0;
}
