#include "ortolib/units/find_program.h"

#include <string>

#include "ortolib/platform/private/program_search.h"

namespace pt {

string find_program(const string& name, text_encoding encoding) {
  const std::string found =
      platform::find_program_path(std::string(name.text(), name.length()), encoding);
  // cppcheck-suppress returnDanglingLifetime ; the string copies the bytes into its own block
  return string(found.data(), string_length_of(found.size()));
}

}  // namespace pt
