// Starting the helper child program from tests, with its output collected through a pipe.
#include "support/child_run.h"

#include <gtest/gtest.h>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/error_numbers.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"
#include "ortolib/platform/private/process.h"

namespace pt::test {

std::string test_child_arguments(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments)
    line.append(" ").append(quote_argument(argument));
  return line;
}

bool read_to_end(platform::handle h, std::string& into) {
  char buffer[4096];
  for (;;) {
    std::int32_t got = platform::handle_read(h, buffer, sizeof buffer);
    if (got == 0)
      return true;
    if (got < 0)
      return platform::stream_error_number(platform::last_error()) == error_broken_pipe;
    into.append(buffer, static_cast<std::size_t>(got));
  }
}

child_result run_test_child(const std::vector<std::string>& arguments, platform::handle input) {
  child_result result;
  platform::handle read_end, write_end;
  if (!platform::pipe_create(read_end, write_end)) {
    ADD_FAILURE() << "no pipe, error " << platform::last_error();
    return result;
  }
  const std::string child_arguments = test_child_arguments(arguments);
  platform::process_request request;
  request.application = ORTO_TEST_CHILD;
  request.arguments = child_arguments.c_str();
  request.std_input = input;
  request.std_output = write_end;
  request.std_error = write_end;
  platform::process_info child;
  bool started = platform::process_start(request, child);
  platform::os_error start_error = platform::last_error();
  platform::handle_close(write_end);  // the child holds the only writer now
  if (!started) {
    platform::handle_close(read_end);
    ADD_FAILURE() << "the test child did not start, error " << start_error;
    return result;
  }
  EXPECT_TRUE(read_to_end(read_end, result.output)) << "error " << platform::last_error();
  platform::handle_close(read_end);
  result.ran = platform::process_wait(child.process, result.exit_code);
  EXPECT_TRUE(result.ran) << "error " << platform::last_error();
  platform::process_close(child.thread);
  platform::process_close(child.process);
  return result;
}

}  // namespace pt::test
