// Waiting in tests for something another process or thread brings about.
#pragma once

#include <chrono>
#include <thread>

namespace pt::test {

// Checks done() every 10 ms for up to 30 s: a guard that turns a hang into a failure, never a
// measure of speed.
template <class condition>
bool eventually(condition done) {
  for (int i = 0; i < 3000 && !done(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

}  // namespace pt::test
