// How often a part stands in a generated page or chart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace keyin {

inline std::size_t Occurrences(std::u16string_view text, std::u16string_view part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::u16string_view::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace keyin
