// Starting cmdwrap with its standard handles on scratch files, and the helpers that build
// argument files for the helper child and the result files it leads to.
#include "cmdwrap_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/platform.h"
#include "support/child_run.h"
#include "support/exit_status.h"

namespace pt::test {

namespace {

platform::handle open_or_fail(const scratch_file& file, platform::file_access access) {
  platform::handle h = platform::file_open(file.c_str(), access);
  EXPECT_NE(h, platform::no_handle) << file.path() << ": error " << platform::last_error();
  return h;
}

}  // namespace

wrapper_run run_cmdwrap(const std::vector<std::string>& arguments, const wrapper_options& options) {
  wrapper_run result;
  scratch_file input("cmdwrap-in"), output("cmdwrap-out"), error("cmdwrap-err");
  input.write(options.input);
  platform::handle in = open_or_fail(input, platform::file_access::read);
  platform::handle out = open_or_fail(output, platform::file_access::write_truncate);
  platform::handle err = options.without_error
                             ? platform::no_handle
                             : open_or_fail(error, platform::file_access::write_truncate);

  std::string command_line = quote_argument(ORTO_CMDWRAP);
  for (const std::string& argument : arguments)
    command_line.append(" ").append(quote_argument(argument));
  platform::process_request request;
  request.application = ORTO_CMDWRAP;
  request.command_line = command_line.data();
  request.std_input = in;
  request.std_output = out;
  request.std_error = err;
  platform::process_info started;
  bool ok = platform::process_start(request, started);
  platform::os_error start_error = platform::last_error();
  for (platform::handle h : {in, out, err})
    if (h != platform::no_handle)
      platform::handle_close(h);
  if (!ok) {
    ADD_FAILURE() << "cmdwrap did not start, error " << start_error;
    return result;
  }
  result.ran = platform::process_wait(started.process, result.status);
  EXPECT_TRUE(result.ran) << "error " << platform::last_error();
  platform::process_close(started.thread);
  platform::process_close(started.process);
  result.out = output.read();
  result.err = error.read();
  return result;
}

std::uint32_t status_of(std::int32_t code) {
  return static_cast<std::uint32_t>(visible_status(static_cast<std::uint32_t>(code)));
}

child_run_through_wrapper run_child_through_wrapper(std::string_view argument_file_bytes,
                                                    const wrapper_options& options,
                                                    const std::string& child) {
  scratch_file arguments("args");
  arguments.write(argument_file_bytes);
  child_run_through_wrapper result;
  result.run = run_cmdwrap({child, arguments.path()}, options);
  result.file = arguments.read();
  EXPECT_EQ(result.run.out, "") << "cmdwrap writes nothing to its standard output";
  return result;
}

child_copy::child_copy(std::string_view folder_name, std::string_view prefix)
    : folder_(folder_name) {
  std::filesystem::create_directory(folder_.path());
  std::filesystem::path child = ORTO_TEST_CHILD;
  path_ =
      (std::filesystem::path(folder_.path()) / (std::string(prefix) + child.filename().string()))
          .string();
  std::filesystem::copy_file(child, path_);
}

child_copy::~child_copy() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

std::string child_copy::read() const {
  std::ifstream in(path_, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string hex(std::string_view bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : bytes) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

std::string with_crlf(std::string_view text) {
  std::string bytes;
  for (char c : text) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  return bytes;
}

std::string hex_args_file(const std::vector<std::string>& lines) {
  std::string file = "hex-args\n";
  for (const std::string& line : lines)
    file += line + "\n";
  return file;
}

std::string hex_args_result(const std::vector<std::string>& arguments) {
  std::string result;
  for (const std::string& argument : arguments)
    result += hex(argument) + "\r\n";
  return result;
}

}  // namespace pt::test
