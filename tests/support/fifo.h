// Named pipes in the file system (FIFOs), for tests of what a program does when its file is
// one. POSIX has them; Windows names its pipes outside the file system, so tests skip there.
#pragma once

#include <string>

namespace pt::test {

// Makes a FIFO at path. False where the platform has none, or on failure.
bool make_fifo(const std::string& path);

// Opens the FIFO for reading without waiting for a writer, and closes it again: a writer
// blocked in its open of the FIFO is let through. For a test that must end, not hang, when
// the code it checks waits for a reader.
void open_fifo_reader_briefly(const std::string& path);

}  // namespace pt::test
