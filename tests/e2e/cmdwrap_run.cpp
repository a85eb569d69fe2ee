// Starting cmdwrap with its standard handles on scratch files, and the helpers that build
// argument files for the helper child and the result files it leads to.
#include "cmdwrap_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "ortolib/platform/command_line.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/process.h"
#include "support/child_run.h"
#include "support/exit_status.h"
#include "support/handle_probes.h"

namespace pt::test {

namespace {

platform::handle open_or_fail(const scratch_file& file, platform::file_access access) {
  platform::handle h = platform::file_open(file.c_str(), access);
  EXPECT_NE(h, platform::no_handle) << file.path() << ": error " << platform::last_error();
  return h;
}

// The launcher from the environment, read once.
struct launcher_setting {
  std::vector<std::string> words;  // empty: no launcher
  std::string failure_status;      // as given; empty when not set
  std::string log_folder;          // empty: logs are scratch files
};

const launcher_setting& launcher() {
  static const launcher_setting setting = [] {
    launcher_setting read;
    // NOLINTNEXTLINE(concurrency-mt-unsafe): read once, before any run
    if (const char* words = std::getenv("ORTO_CMDWRAP_LAUNCHER")) {
      std::istringstream split(words);
      for (std::string word; split >> word;)
        read.words.push_back(word);
    }
    if (const char* status = std::getenv("ORTO_CMDWRAP_LAUNCHER_FAILURE"))
      read.failure_status = status;
    if (const char* folder = std::getenv("ORTO_CMDWRAP_LAUNCHER_LOGS"))
      read.log_folder = folder;
    return read;
  }();
  return setting;
}

// The log of one run under the launcher: a scratch file, or a file kept in the log folder,
// open for writing on an inheritable handle that the launcher is given by its number. A
// handle, not a path: a launcher that opened the file itself would take the lowest free
// descriptor, and so the standard descriptor a test leaves closed.
class launcher_log {
 public:
  launcher_log() : scratch_("launcher-log") {
    path_ = scratch_.path();
    if (!launcher().log_folder.empty()) {
      std::filesystem::path name = std::filesystem::path(scratch_.path()).filename();
      path_ = (std::filesystem::path(launcher().log_folder) / name).string() + ".log";
    }
    handle_ = platform::file_open(path_.c_str(), platform::file_access::write_truncate);
    EXPECT_NE(handle_, platform::no_handle) << path_ << ": error " << platform::last_error();
    make_inheritable(handle_);  // the library's own handles are not
  }
  ~launcher_log() { platform::handle_close(handle_); }
  launcher_log(const launcher_log&) = delete;
  launcher_log& operator=(const launcher_log&) = delete;

  platform::handle handle() const { return handle_; }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  scratch_file scratch_;  // removed with the object; a kept log has another path
  std::string path_;
  platform::handle handle_ = platform::no_handle;
};

// The descriptors that a launcher tracking them (valgrind --track-fds=yes) lists as open at
// cmdwrap's end and not inherited: each entry is "Open file descriptor <n>: <what>" followed
// by the stack that opened it, or by "<inherited from parent>".
std::string descriptors_left_open(const std::string& log) {
  std::istringstream lines(log);
  std::string line, left, entry;
  bool in_entry = false;
  while (std::getline(lines, line)) {
    if (line.find("Open file descriptor ") != std::string::npos) {
      in_entry = true;
      entry = line + "\n";
    } else if (in_entry) {
      in_entry = false;
      if (line.find("<inherited from parent>") == std::string::npos)
        left += entry + line + "\n";
    }
  }
  return left;
}

void check_launcher_log(const std::string& log, std::uint32_t status) {
  const std::string& failure = launcher().failure_status;
  if (!failure.empty() && std::to_string(status) == failure)
    ADD_FAILURE() << "the launcher found faults in cmdwrap (status " << status << "); its log:\n"
                  << log;
  std::string left = descriptors_left_open(log);
  if (!left.empty())
    ADD_FAILURE() << "cmdwrap ended with descriptors open that it had opened itself:\n" << left;
}

}  // namespace

bool under_launcher() { return !launcher().words.empty(); }

wrapper_run run_cmdwrap(const std::vector<std::string>& arguments, const wrapper_options& options) {
  wrapper_run result;
  scratch_file input("cmdwrap-in"), output("cmdwrap-out"), error("cmdwrap-err");
  input.write(options.input);
  platform::handle in = open_or_fail(input, platform::file_access::read);
  platform::handle out = open_or_fail(output, platform::file_access::write_truncate);
  platform::handle err =
      options.error_path != nullptr
          ? platform::file_open(options.error_path, platform::file_access::write_append)
          : open_or_fail(error, platform::file_access::write_truncate);

  std::optional<launcher_log> log;
  if (under_launcher())
    log.emplace();
  // Under a launcher its first word is the program started, and cmdwrap one of its arguments.
  std::vector<std::string> words;
  for (std::string word : launcher().words) {
    if (auto at = word.find("{log-fd}"); at != std::string::npos)
      word.replace(at, 8, std::to_string(log->handle()));
    words.push_back(word);
  }
  words.emplace_back(ORTO_CMDWRAP);
  words.insert(words.end(), arguments.begin(), arguments.end());
  const std::string& application = words.front();
  std::string command_arguments;
  for (std::size_t i = 1; i < words.size(); ++i)
    command_arguments.append(" ").append(quote_argument(words[i]));
  platform::process_request request;
  request.application = application.c_str();
  request.arguments = command_arguments.c_str();
  request.arguments_encoding = options.arguments_encoding;
  request.std_input = options.unusable == standard_handle::input ? platform::unusable_handle : in;
  request.std_output = options.unusable == standard_handle::output ? platform::unusable_handle
                                                                   : out;
  request.std_error = options.unusable == standard_handle::error ? platform::unusable_handle : err;
  request.inherit_handles = options.inherit_handles;
  platform::process_info started;
  platform::os_error start_error = 0;
  const bool limited = options.limits.address_space != 0 || options.limits.file_size != 0 ||
                       options.limits.open_files != 0 || !options.signals.ignored.empty() ||
                       !options.signals.blocked.empty();
  if (limited) {
    EXPECT_FALSE(under_launcher()) << "process limits would apply to the launcher";
    start_error = start_limited(request, options.limits, started, options.signals);
  } else if (!platform::process_start(request, started)) {
    start_error = platform::last_error();
  }
  for (platform::handle h : {in, out, err})
    if (h != platform::no_handle)
      platform::handle_close(h);
  if (start_error != 0) {
    ADD_FAILURE() << application << " did not start, error " << start_error;
    return result;
  }
  result.ran = platform::process_wait(started.process, result.status);
  EXPECT_TRUE(result.ran) << "error " << platform::last_error();
  platform::process_close(started.thread);
  platform::process_close(started.process);
  result.out = output.read();
  result.err = error.read();
  if (log)
    check_launcher_log(log->read(), result.status);
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
  result.argument_file = arguments.path();
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

void expect_error_number_line(const std::string& err, const std::string& prefix) {
  ASSERT_EQ(err.substr(0, prefix.size()), prefix) << err;
  std::string number = err.substr(prefix.size());
  ASSERT_GE(number.size(), 2u) << err;
  EXPECT_EQ(number.back(), '\n');
  number.pop_back();
  EXPECT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << err;
  EXPECT_NE(number[0], '0') << err;
}

std::string hex_args_file(const std::vector<std::string>& lines) {
  std::string file = "hex-args\n";
  for (const std::string& line : lines)
    file += line + "\n";
  return file;
}

std::string hex_args_result(const std::vector<std::string>& arguments) {
  return hex_lines(arguments, "\r\n");
}

}  // namespace pt::test
