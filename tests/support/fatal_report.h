// Death tests of fatal errors. The default report opens a message box on Windows, which no test
// can dismiss, so the child process prints the report to standard error instead.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "ortolib/core/fatal.h"
#include "support/exit_status.h"

namespace pt::test {

inline void print_fatal_report(std::uint32_t code, const char* message) {
  char text[fatal_text_size];
  format_fatal_text(text, code, message);
  std::fprintf(stderr, "%s\n", text);
}

}  // namespace pt::test

// Expects statement to end the process through fatal_error with code, its report matching
// message_regex.
#define EXPECT_FATAL(statement, code, message_regex)          \
  EXPECT_EXIT(                                                \
      {                                                       \
        ::pt::fatal_handler = ::pt::test::print_fatal_report; \
        statement;                                            \
      },                                                      \
      ::testing::ExitedWithCode(::pt::test::visible_status(code)), message_regex)
