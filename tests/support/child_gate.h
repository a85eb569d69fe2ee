// The gate at which the helper child waits ("wait-stdin"): a pipe whose read end is the child's
// standard input while the test holds its write end. The child passes only once the test opens
// the gate, so what the test observes in between cannot come from the child's passing.
#pragma once

#include "ortolib/platform/types.h"

namespace pt::test {

class child_gate {
 public:
  // Records a test failure when the pipe cannot be made.
  child_gate();
  // Opens the gate (a child still waiting passes) and closes what is left.
  ~child_gate();
  child_gate(const child_gate&) = delete;
  child_gate& operator=(const child_gate&) = delete;

  // The end to give the child as its standard input.
  platform::handle child_end() const { return read_end; }
  // After the start: closes the test's copy of the child's end, so that the child holds the
  // only reader.
  void close_child_end();
  // Lets the child through: it reads the end of its input.
  void open();

 private:
  platform::handle read_end = platform::no_handle;
  platform::handle write_end = platform::no_handle;
};

}  // namespace pt::test
