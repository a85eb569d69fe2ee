// The POSIX build: the C runtime's opens take a path as its bytes, with nothing to see.
#include "support/file_open_probe.h"

namespace pt::test {

file_open_probe::file_open_probe() = default;
file_open_probe::~file_open_probe() = default;
bool file_open_probe::recording() const { return false; }

const std::vector<std::wstring>& file_open_probe::names() const {
  static const std::vector<std::wstring> none;
  return none;
}

}  // namespace pt::test
