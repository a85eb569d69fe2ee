// Example for the library overview (docs/LIBRARY.md): running a program as Python's
// subprocess.run does, with the process unit. The declarations of running_programs.cpp, for
// the tests that run it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include <ortolib/core/string.h>

namespace example {

// What a run is given, after subprocess.run's keyword arguments.
struct run_options {
  pt::string input;                 // input=: fed to the program's standard input
  bool capture_errors = true;       // stderr apart (capture_output=True), else joined to stdout
  std::int32_t timeout_ms = 0;      // timeout=, in milliseconds; 0 for none
  pt::string working_directory;     // cwd=; empty: this process's own
  std::vector<pt::string> changes;  // env= as changes: "NAME=value" sets, "NAME" removes
};

// What a run gives back, after subprocess.CompletedProcess.
struct completed_run {
  std::int32_t exit_code = -1;  // returncode; -1 when the program did not run
  std::int32_t signal = 0;      // POSIX: the signal that ended it (returncode -signal in Python)
  bool timed_out = false;       // subprocess.TimeoutExpired
  pt::string output;            // stdout
  pt::string errors;            // stderr
  pt::string failure;           // why it did not run or finish; empty when it did
};

// Runs the program that command stands for, found along PATH, with these arguments.
completed_run run(const char* command, std::initializer_list<const char*> arguments,
                  const run_options& options = {});

}  // namespace example
