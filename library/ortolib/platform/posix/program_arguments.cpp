// POSIX backend: a program's arguments are the bytes of argv.
#include "ortolib/platform/program_arguments.h"

namespace pt {

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace pt
