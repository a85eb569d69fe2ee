// Running the real cmdwrap from the end-to-end tests: its standard handles on scratch files,
// its exit status as a parent sees it, and the argument file it works on. The runs can go
// through a launcher named by the environment, so that the same tests check cmdwrap under a
// memory checker:
//
//   ORTO_CMDWRAP_LAUNCHER          the launcher's absolute path and its options, separated by
//                                  spaces (none holds a space); "{log-fd}" in an option becomes
//                                  the number of a handle open on a log file for the run
//   ORTO_CMDWRAP_LAUNCHER_FAILURE  the exit status by which the launcher reports that it found
//                                  faults in cmdwrap: such a run fails the test, with the log
//   ORTO_CMDWRAP_LAUNCHER_LOGS     a folder in which the logs are kept (by default each is
//                                  removed after its run)
//
// A launcher log that lists descriptors cmdwrap opened and left open at its end (valgrind's
// --track-fds=yes) fails the test as well.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ortolib/platform/text_encoding.h"
#include "support/child_run.h"
#include "support/process_limits.h"
#include "support/scratch_file.h"

namespace pt::test {

struct wrapper_run {
  bool ran = false;          // started and waited for
  std::uint32_t status = 0;  // the exit status as the parent reads it
  std::string out;           // what cmdwrap wrote to its standard output
  std::string err;           // what it wrote to its standard error
};

enum class standard_handle { none, input, output, error };

struct wrapper_options {
  std::string input;  // cmdwrap's standard input: a file with these bytes
  // The standard handle cmdwrap is started without: an unusable handle in its place (POSIX: the
  // descriptor closed; Windows: the null handle, which every use of fails).
  standard_handle unusable = standard_handle::none;
  // cmdwrap's standard error on this existing file (a device such as /dev/full) instead of a
  // scratch file; null for the scratch file, whose text the run returns.
  const char* error_path = nullptr;
  // Limits on cmdwrap's process (and so on its child), and the signal settings it starts
  // with; neither can apply under a launcher.
  process_limits limits;
  signal_setup signals;
  // false: cmdwrap gets its three standard handles alone, none the test process passes on.
  bool inherit_handles = true;
  // The encoding of the arguments: UTF-8 reaches cmdwrap's wide command line with every
  // character on Windows.
  text_encoding arguments_encoding = text_encoding::ansi;
};

// Starts cmdwrap (ORTO_CMDWRAP) with these arguments, each quoted for the C-runtime rules,
// through the launcher if one is set, and waits for it. Records a test failure when it cannot
// be started or waited for, or when the launcher reports faults.
wrapper_run run_cmdwrap(const std::vector<std::string>& arguments,
                        const wrapper_options& options = {});

// True when the runs go through a launcher: much slower runs, and no process limits.
bool under_launcher();

// The status of a run that ended with code, as visible to the parent (-1 reads as 255 on
// POSIX).
std::uint32_t status_of(std::int32_t code);

// The helper child run by cmdwrap on an argument file holding bytes: the run, and the file's
// bytes afterwards.
struct child_run_through_wrapper {
  wrapper_run run;
  std::string file;
  std::string argument_file;  // its path (removed by now)
};
child_run_through_wrapper run_child_through_wrapper(std::string_view argument_file_bytes,
                                                    const wrapper_options& options = {},
                                                    const std::string& child = ORTO_TEST_CHILD);

// A copy of the helper child in a scratch folder of its own, under the child's file name with
// prefix put in front (the extension stays, as Windows wants it). Removed with the object.
class child_copy {
 public:
  child_copy(std::string_view folder_name, std::string_view prefix);
  ~child_copy();
  child_copy(const child_copy&) = delete;
  child_copy& operator=(const child_copy&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  std::string read() const;  // the file's bytes

 private:
  scratch_file folder_;
  std::string path_;
};

// Checks that err is one line: prefix, then an OS error number in decimal.
void expect_error_number_line(const std::string& err, const std::string& prefix);

// The argument file lines for the helper child: "hex-args", then the given lines.
std::string hex_args_file(const std::vector<std::string>& lines);

// What the helper child prints for those arguments, as the result file holds it.
std::string hex_args_result(const std::vector<std::string>& arguments);

}  // namespace pt::test
