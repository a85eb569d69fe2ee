// Windows backend: paths for the wide file calls, long ones in their \\?\ form.
#include "ortolib/platform/win32/wide_path.h"

#include <windows.h>

#include <string_view>

#include "ortolib/platform/win32/text_conversion.h"

namespace pt::platform::win32 {
namespace {

bool has_prefix(std::wstring_view path) {
  return path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\");
}

}  // namespace

std::wstring within_path_limit(std::wstring path) {
  if (path.empty() || has_prefix(path))
    return path;
  // The limit is on the full path: a short relative path in a deep current folder passes it.
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return path;
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size)
    return path;
  full.resize(written);
  if (full.size() < MAX_PATH || has_prefix(full))
    return path;
  if (full.starts_with(L"\\\\"))  // \\server\share\... becomes \\?\UNC\server\share\...
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::wstring wide_path(const char* path, text_encoding encoding) {
  std::wstring wide;
  if (!wide_text(path, encoding, wide))
    return {};
  return within_path_limit(std::move(wide));
}

}  // namespace pt::platform::win32
