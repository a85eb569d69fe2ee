// Counting UTF-8 text as UTF-16, without OS calls.
#include "ortolib/platform/text_encoding.h"

namespace pt {

std::size_t utf16_length(std::string_view utf8) {
  std::size_t units = 0;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80)
      ++units;  // each character starts with a byte that is no continuation byte
    if (byte >= 0xF0)
      ++units;  // a four-byte character is a surrogate pair
  }
  return units;
}

}  // namespace pt
