// Windows backend: conversions between the ANSI code page, UTF-8 and UTF-16.
#include "ortolib/platform/win32/text_conversion.h"

#include <windows.h>

#include <climits>

namespace pt::platform::win32 {
namespace {

// The system's conversions take int lengths; no path or command line comes near that.
bool fits_int(std::size_t size) { return size <= INT_MAX; }

std::string narrow(std::wstring_view wide, UINT code_page) {
  if (wide.empty() || !fits_int(wide.size()))
    return {};
  const int length = static_cast<int>(wide.size());
  const int size =
      WideCharToMultiByte(code_page, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0)
    return {};
  std::string text(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(code_page, 0, wide.data(), length, text.data(), size, nullptr, nullptr) !=
      size)
    return {};
  return text;
}

}  // namespace

bool wide_text(std::string_view text, text_encoding encoding, std::wstring& wide) {
  wide.clear();
  if (text.empty())
    return true;
  if (!fits_int(text.size()))
    return false;
  const UINT code_page = encoding == text_encoding::utf8 ? CP_UTF8 : CP_ACP;
  // Invalid UTF-8 is refused rather than replaced: a changed path or argument would reach
  // another file or another meaning. Every ANSI byte has a character, as the system reads it.
  const DWORD flags = encoding == text_encoding::utf8 ? MB_ERR_INVALID_CHARS : 0;
  const int length = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(code_page, flags, text.data(), length, nullptr, 0);
  if (size <= 0)
    return false;
  wide.resize(static_cast<std::size_t>(size));
  if (MultiByteToWideChar(code_page, flags, text.data(), length, wide.data(), size) != size) {
    wide.clear();
    return false;
  }
  return true;
}

std::string utf8_text(std::wstring_view wide) { return narrow(wide, CP_UTF8); }

std::string ansi_text(std::wstring_view wide) { return narrow(wide, CP_ACP); }

int compare_names(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) -
         CSTR_EQUAL;
}

}  // namespace pt::platform::win32
