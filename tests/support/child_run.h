// Starting the helper child program (tests/child/test_child.cpp) from tests, with its output
// collected through a pipe. The program's path comes from ORTO_TEST_CHILD.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ortolib/platform/types.h"
#include "support/hex.h"

namespace pt::test {

// What follows the program name on the child's command line: every argument quoted
// (pt::quote_argument), each after a space, as process_request::arguments takes them.
std::string test_child_arguments(const std::vector<std::string>& arguments);

// Reads h until the end of data: 0 bytes, or the broken pipe by which Windows ends a pipe.
// False on any other failure.
bool read_to_end(platform::handle h, std::string& into);

struct child_result {
  bool ran = false;  // started and waited for
  std::uint32_t exit_code = 0;
  std::string output;  // standard output and standard error as they came, in one pipe
};

// Runs the child with these arguments; input is its standard input (no_handle for none; the
// caller keeps and closes it). Records a test failure when it cannot start or be waited for.
child_result run_test_child(const std::vector<std::string>& arguments,
                            platform::handle input = platform::no_handle);

}  // namespace pt::test
