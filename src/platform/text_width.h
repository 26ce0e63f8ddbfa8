// How many terminal columns a text takes, from the Unicode properties of its characters (ICU).
#pragma once

#include <cstddef>
#include <string_view>

namespace keyin {

// East Asian Wide and Fullwidth characters (漢字, full-width forms, the ideographic blank) take
// two columns; combining marks, format characters and controls none; every other character one.
// Ambiguous-width characters (○, ●) count one, as terminals show them outside legacy CJK modes.
// A lone surrogate counts as one replacement character.
std::size_t DisplayWidth(std::u16string_view text);

}  // namespace keyin
