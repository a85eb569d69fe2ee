// Moves the process-wide std_error onto a scratch file for one test, so the test can read the
// "Error: " reports that units write, and puts it back on the standard error afterwards.
#pragma once

#include <string>

#include "support/scratch_file.h"

namespace pt::test {

// While the object lives, std_error writes into a file of its own. Not for tests whose
// threads may still write to std_error when the object is destroyed.
class captured_std_error {
 public:
  captured_std_error();
  ~captured_std_error();
  captured_std_error(const captured_std_error&) = delete;
  captured_std_error& operator=(const captured_std_error&) = delete;

  // Everything std_error received since the object was made.
  std::string text() const;

 private:
  scratch_file file_;
};

// How often needle occurs in text.
int occurrences(const std::string& text, const std::string& needle);

}  // namespace pt::test
