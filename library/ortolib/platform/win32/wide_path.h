// Windows backend, private: a path as the wide file calls take it, so that a path of MAX_PATH
// characters or more, which the ANSI calls refuse, can still be queried.
#pragma once

#include <string>

#include "ortolib/platform/text_encoding.h"

namespace pt::platform::win32 {

// The path in UTF-16, converted from its encoding (wide_text). One shorter than MAX_PATH stays
// as it is; a longer one is made absolute (which also drops trailing dots and spaces, as the
// system does) and given the \\?\ prefix (\\?\UNC\ for a share), with which the wide calls
// take any length. Empty when the path cannot be converted.
std::wstring wide_path(const char* path, text_encoding encoding = text_encoding::ansi);

}  // namespace pt::platform::win32
