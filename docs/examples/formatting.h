// Example for the library overview (docs/LIBRARY.md): checked formatted output, a format made at
// run time, and formatting into a string. The declarations of formatting.cpp, for the tests that
// run it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <ortolib/core/string.h>

namespace example {

// "<name>: <count> files, <total> bytes", the total of sizes.
pt::string summary(std::string_view name, const std::vector<std::int64_t>& sizes);

// One line per row: the name left-aligned in 8 columns, "|", the value right-aligned in 6.
pt::string table(const std::vector<std::pair<std::string, int>>& rows);

// user_format, a format that a user chose, applied to a name and a count.
pt::string apply_template(const char* user_format, const pt::string& name, int count);

}  // namespace example
