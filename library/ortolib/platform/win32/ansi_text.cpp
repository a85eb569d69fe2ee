// Windows backend: UTF-8 texts spelt in the ANSI code page, for messages.
#include <string>

#include "ortolib/platform/text_encoding.h"
#include "ortolib/platform/win32/text_conversion.h"

namespace pt {

std::string ansi_text(std::string_view text, text_encoding encoding) {
  std::wstring wide;
  if (encoding == text_encoding::ansi || !platform::win32::wide_text(text, encoding, wide))
    return std::string(text);  // invalid UTF-8 is shown as the bytes it is
  return platform::win32::ansi_text(wide);
}

}  // namespace pt
