// Small text helpers shared by the core. Only the half-width blank U+0020 counts as a blank here:
// full-width blanks are part of the text (they indent typed lines and fill the listing).
#include "support/text.h"

#include <algorithm>

namespace keyin {

std::u16string TrimBlanks(std::u16string_view text) {
  const auto first = text.find_first_not_of(kHalfBlank);
  if (first == std::u16string_view::npos) return {};
  const auto last = text.find_last_not_of(kHalfBlank);
  return std::u16string(text.substr(first, last - first + 1));
}

std::u16string TrimTrailingBlanks(std::u16string_view text) {
  const auto last = text.find_last_not_of(kHalfBlank);
  if (last == std::u16string_view::npos) return {};
  return std::u16string(text.substr(0, last + 1));
}

void EraseTrailingBlanks(std::u16string& text) {
  const auto last = text.find_last_not_of(kHalfBlank);
  text.erase(last == std::u16string::npos ? 0 : last + 1);
}

std::vector<std::u16string> SplitText(std::u16string_view text, std::u16string_view separator) {
  // An empty separator would match everywhere; the text then stays one piece.
  if (separator.empty()) return {std::u16string(text)};
  std::vector<std::u16string> pieces;
  std::size_t start = 0;
  for (auto found = text.find(separator); found != std::u16string_view::npos;
       found = text.find(separator, start)) {
    pieces.emplace_back(text.substr(start, found - start));
    start = found + separator.size();
  }
  pieces.emplace_back(text.substr(start));
  return pieces;
}

bool ConstantTimeEquals(std::string_view a, std::string_view b) {
  const std::size_t length = std::max(a.size(), b.size());
  unsigned char difference = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    difference |= static_cast<unsigned char>(x ^ y);
  }
  return difference == 0;
}

}  // namespace keyin
