// Example for the library overview (docs/LIBRARY.md): a fatal report for console programs.
// The declaration of fatal_report.cpp, for the tests that run it.
#pragma once

#include <cstdint>

namespace example {

// Writes "<program>: fatal error 0x<code>: <message>" and a line end to standard error.
// Meant for pt::fatal_handler, so it must not throw and must not allocate.
void report_fatal_on_stderr(std::uint32_t code, const char* message);

}  // namespace example
