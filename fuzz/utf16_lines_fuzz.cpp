// SplitUtf16Lines on arbitrary bytes, against a second reading written another way: decode the
// units, turn every CR LF into LF and every lone CR into LF, and cut at LF. The lines never hold
// a line end, and nothing of the text but its line ends is lost.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "platform/text_stream.h"

namespace keyin {
namespace {

std::vector<std::u16string> ExpectedLines(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) bytes.remove_prefix(2);
  std::u16string units;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    if (i + 1 == bytes.size()) {
      units.push_back(u'\uFFFD');
    } else {
      units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) +
                                            static_cast<unsigned char>(bytes[i + 1]) * 256));
    }
  }
  std::u16string unified;
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (units[i] == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') continue;
    unified.push_back(units[i] == u'\r' ? u'\n' : units[i]);
  }
  std::vector<std::u16string> lines;
  std::size_t start = 0;
  for (std::size_t end = unified.find(u'\n'); end != std::u16string::npos;
       end = unified.find(u'\n', start)) {
    lines.push_back(unified.substr(start, end - start));
    start = end + 1;
  }
  if (start < unified.size()) lines.push_back(unified.substr(start));
  return lines;
}

}  // namespace
}  // namespace keyin

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::u16string> lines = keyin::SplitUtf16Lines(bytes);
  for (const std::u16string& line : lines) {
    FUZZ_CHECK(line.find_first_of(u"\r\n") == std::u16string::npos);
  }
  FUZZ_CHECK(lines == keyin::ExpectedLines(bytes));
  return 0;
}
