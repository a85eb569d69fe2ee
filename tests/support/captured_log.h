// Moves one of the process-wide log files (std_error, std_output) onto a scratch file for one
// test, so the test can read what units and children write there, and puts it back afterwards.
#pragma once

#include <string>

#include "ortolib/platform/types.h"
#include "ortolib/streams/logfile.h"
#include "support/scratch_file.h"

namespace pt::test {

// While the object lives, the stream writes into a file of its own, through an inheritable
// handle (a child given the stream's handle writes there too). Not for tests whose threads or
// children may still write to the stream when the object is destroyed.
class captured_log {
 public:
  // which names the standard handle the stream is put back on.
  captured_log(logfile& stream, platform::std_handle_id which);
  ~captured_log();
  captured_log(const captured_log&) = delete;
  captured_log& operator=(const captured_log&) = delete;

  // Everything the stream received since the object was made.
  std::string text() const;

 private:
  logfile& stream_;
  platform::std_handle_id which_;
  scratch_file file_;
};

// std_error captured: the "Error: " reports of units.
class captured_std_error : public captured_log {
 public:
  captured_std_error();
};

// How often needle occurs in text.
int occurrences(const std::string& text, const std::string& needle);

}  // namespace pt::test
