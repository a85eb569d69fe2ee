// A console program's report of fatal errors: one line on standard error instead of the
// default, which on Windows shows a message box and waits until someone dismisses it.
#include <cstdint>
#include <cstdio>

namespace example {

void report_fatal_on_stderr(std::uint32_t code, const char* message) {
  // The C library's stderr, not pt::std_error: a fatal error may come from the streams
  // themselves, and a report must not throw.
  std::fprintf(stderr, "app: fatal error 0x%05x: %s\n", static_cast<unsigned>(code), message);
}

}  // namespace example

// In main, before any thread starts:
//
//   pt::fatal_handler = example::report_fatal_on_stderr;
//
// After the report the library ends the process with the fatal code as its exit status.
