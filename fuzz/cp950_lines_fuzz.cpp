// SplitAnsiLines and the code page 950 conversions on arbitrary bytes. Lines end at CR or CR LF
// and a lone LF stays in its line, so joining the lines with CR gives back the bytes with every
// CR LF made a CR (and without a final line end). Conversion never fails: every line decodes,
// and the text encodes again, with substitutions where it must.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/ansi_file.h"
#include "platform/code_page.h"

namespace keyin {
namespace {

// The bytes as the lines should give them back: CR LF as CR, and no final CR.
std::string WithoutLineFeedsAfterCr(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && i > 0 && bytes[i - 1] == '\r') continue;
    out.push_back(bytes[i]);
  }
  if (!out.empty() && out.back() == '\r') out.pop_back();
  return out;
}

void CheckConversions(std::string_view line) {
  const std::u16string text = Cp950ToUtf16(line);
  // Every byte yields at least part of a character and at most two units.
  FUZZ_CHECK(text.empty() == line.empty());
  FUZZ_CHECK(text.size() <= 2 * line.size());
  const std::string bytes = Utf16ToCp950(text);
  FUZZ_CHECK(bytes.size() <= 2 * text.size());
  if (const std::optional<std::string> exact = Utf16ToCp950Exact(text)) {
    FUZZ_CHECK(*exact == bytes);
  }
  FUZZ_CHECK(Utf8ToUtf16(Utf16ToUtf8(Utf8ToUtf16(line))) == Utf8ToUtf16(line));
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = keyin::SplitAnsiLines(bytes);
  std::string joined;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(lines[i].find('\r') == std::string::npos);
    if (i > 0) joined += '\r';
    joined += lines[i];
    keyin::CheckConversions(lines[i]);
  }
  const std::string expected = keyin::WithoutLineFeedsAfterCr(bytes);
  FUZZ_CHECK(joined == expected);
  // One line per CR, and one more for what follows the last one.
  const std::size_t line_ends =
      static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r'));
  FUZZ_CHECK(lines.size() ==
             line_ends +
                 (bytes.empty() || bytes.back() == '\r' || bytes.ends_with("\r\n") ? 0 : 1));
  return 0;
}
