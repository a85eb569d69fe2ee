// Windows backend: paths for the wide file calls, long ones in their \\?\ form.
#include "ortolib/platform/win32/wide_path.h"

#include <windows.h>

#include <string_view>

#include "ortolib/platform/win32/text_conversion.h"

namespace pt::platform::win32 {

std::wstring wide_path(const char* path, text_encoding encoding) {
  std::wstring wide;
  if (!wide_text(path, encoding, wide))
    return {};
  if (wide.size() < MAX_PATH)
    return wide;
  const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return {};
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size)
    return {};
  full.resize(written);
  const std::wstring_view full_view(full);
  if (full_view.starts_with(L"\\\\?\\") || full_view.starts_with(L"\\\\.\\"))
    return full;
  if (full_view.starts_with(L"\\\\"))  // \\server\share\... becomes \\?\UNC\server\share\...
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace pt::platform::win32
