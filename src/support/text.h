// Small text helpers shared by the core.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace keyin {

inline constexpr char16_t kHalfBlank = u' ';
inline constexpr char16_t kFullBlank = u'\u3000';

// Half-width blanks (U+0020) removed at the given ends; full-width blanks stay.
std::u16string TrimBlanks(std::u16string_view text);
std::u16string TrimTrailingBlanks(std::u16string_view text);
// The same on a text of one's own, without a copy.
void EraseTrailingBlanks(std::u16string& text);

// Cut at every occurrence of the separator; empty pieces count; one piece for a text without it.
std::vector<std::u16string> SplitText(std::u16string_view text, std::u16string_view separator);

// True when both texts are equal; the time taken does not depend on where they differ (a secret
// compared with a guess).
bool ConstantTimeEquals(std::string_view a, std::string_view b);

}  // namespace keyin
