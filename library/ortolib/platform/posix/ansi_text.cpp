// POSIX backend: texts are bytes in every encoding, and messages name them as they are.
#include "ortolib/platform/text_encoding.h"

namespace pt {

std::string ansi_text(std::string_view text, text_encoding /*encoding*/) {
  return std::string(text);
}

}  // namespace pt
