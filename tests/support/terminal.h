// A terminal for tests: a program started as the foreground job of a terminal of its own,
// which the test types at as a person would. The body is chosen by CMake with the backend.
#pragma once

#include <string_view>

#include "ortolib/platform/private/process.h"

namespace pt::test {

class test_terminal {
 public:
  test_terminal() = default;
  ~test_terminal();
  test_terminal(const test_terminal&) = delete;
  test_terminal& operator=(const test_terminal&) = delete;

  // Starts the request's program (its standard handles are ignored: the terminal's are its
  // own) as the leader of a new session whose controlling terminal this is, in the foreground.
  // It is waited for with platform::process_wait. False where there are no terminals (Windows).
  bool start(const platform::process_request& request, platform::process_info& started);

  // Types the bytes at the terminal: 0x03 is Ctrl+C.
  void type(std::string_view bytes);

 private:
  int controller_ = -1;
};

}  // namespace pt::test
