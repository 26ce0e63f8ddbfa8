#include "platform/text_width.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace keyin {

std::size_t DisplayWidth(std::u16string_view text) {
  std::size_t width = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    UChar32 c = 0;
    U16_NEXT(text.data(), i, text.size(), c);
    const int east_asian = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
    const int category = u_charType(c);
    if (east_asian == U_EA_WIDE || east_asian == U_EA_FULLWIDTH) {
      width += 2;
    } else if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK ||
               category == U_FORMAT_CHAR || category == U_CONTROL_CHAR) {
      // Drawn on the character before, or not drawn at all.
    } else {
      width += 1;
    }
  }
  return width;
}

}  // namespace keyin
