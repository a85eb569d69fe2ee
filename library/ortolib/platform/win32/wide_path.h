// Windows backend, private: paths for the wide file calls, so that a path of MAX_PATH
// characters or more, which the plain calls refuse without a longPathAware manifest, still
// reaches its file.
#pragma once

#include <string>

#include "ortolib/platform/text_encoding.h"

namespace pt::platform::win32 {

// The path as the wide file calls take it at any length. While its full form stays below
// MAX_PATH (260) characters it stays as it is, relative or not; at or over it, it is made
// absolute (which also drops trailing dots and spaces and resolves . and .., as the system does
// with a plain path) and given the \\?\ prefix (\\?\UNC\ for a share), with which the wide
// calls take any length. A path already in a \\?\ or \\.\ form (a device, such as \\.\NUL, which
// the system also makes of a plain "NUL"), and one the system cannot make absolute, stay as
// they are.
std::wstring within_path_limit(std::wstring path);

// The path in UTF-16, converted from its encoding (wide_text), within_path_limit. Empty when the
// path cannot be converted.
std::wstring wide_path(const char* path, text_encoding encoding = text_encoding::ansi);

}  // namespace pt::platform::win32
