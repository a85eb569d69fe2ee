// Formatted output: each argument is printed as its type says, whatever length modifier its
// directive has, and any string type serves %s. A literal format is checked against its
// arguments when it is compiled; a format made at run time is checked as it is written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/streams/format_to_string.h>
#include <ortolib/streams/outmemory.h>

namespace example {

pt::string summary(std::string_view name, const std::vector<std::int64_t>& sizes) {
  std::int64_t total = 0;
  for (std::int64_t size : sizes)
    total += size;
  // %zu prints the size_t and %ld the 64-bit total on every platform (a Windows long has 32
  // bits); a std::string_view serves %s. "%d" for name would not compile.
  return pt::format_to_string("%s: %zu files, %ld bytes", name, sizes.size(), total);
}

pt::string table(const std::vector<std::pair<std::string, int>>& rows) {
  pt::ref memory = pt::make_ref<pt::outmemory>();
  memory->open_stream();
  for (const auto& [name, value] : rows)
    memory->format("%-8s|%6d\n", name, value);  // a std::string as it stands
  return memory->collected_text();
}

pt::string apply_template(const char* user_format, const pt::string& name, int count) {
  // Unknown when this is compiled, so checked as it is written: a directive that cannot print
  // its argument leaves a marker, "%!d(text)", instead of wrong text.
  return pt::format_to_string(pt::runtime_format(user_format), name, count);
}

}  // namespace example
