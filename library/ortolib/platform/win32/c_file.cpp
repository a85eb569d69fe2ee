// Windows backend: C streams opened not inheritable ("N", a mode flag of the C library).
#include "ortolib/platform/c_file.h"

#include <string>

namespace pt::platform {

std::FILE* c_file_open(const char* path, const char* mode) {
  const std::string kept_out = std::string(mode) + "N";
  return std::fopen(path, kept_out.c_str());
}

}  // namespace pt::platform
