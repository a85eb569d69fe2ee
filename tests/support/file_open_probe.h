// The names a file open of the C runtime receives, for tests of what the library passes it: on
// Windows whether a long path reaches the open in its \\?\ form, which Windows needs and wine
// does not (it opens the plain form as well).
#pragma once

#include <string>
#include <vector>

namespace pt::test {

// For its lifetime, records the name of each wide open of the C runtime (_wfopen) in this
// program; the open goes on as usual. Windows only: on POSIX, where a path is its bytes at any
// length, recording() is false. One at a time.
class file_open_probe {
 public:
  file_open_probe();
  ~file_open_probe();
  file_open_probe(const file_open_probe&) = delete;
  file_open_probe& operator=(const file_open_probe&) = delete;

  bool recording() const;
  const std::vector<std::wstring>& names() const;
};

}  // namespace pt::test
