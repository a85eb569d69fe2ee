// The helper child's gate: one pipe, opened by closing its write end.
#include "support/child_gate.h"

#include <gtest/gtest.h>

#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/pipe.h"

namespace pt::test {
namespace {

void close_end(platform::handle& end) {
  if (end != platform::no_handle)
    platform::handle_close(end);
  end = platform::no_handle;
}

}  // namespace

child_gate::child_gate() { EXPECT_TRUE(platform::pipe_create(read_end, write_end)); }

child_gate::~child_gate() {
  open();
  close_end(read_end);
}

void child_gate::close_child_end() { close_end(read_end); }

void child_gate::open() { close_end(write_end); }

}  // namespace pt::test
