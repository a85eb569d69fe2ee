// The input feeder: a thread that copies a stream into a pipe until one of them ends, and hands
// what went wrong back to the thread that waits for it.
#include "ortolib/units/input_feeder.h"

#include <utility>

#include "ortolib/core/component.h"
#include "ortolib/core/memory.h"
#include "ortolib/streams/estream.h"
#include "ortolib/streams/stream_errors.h"

namespace pt {

bool feed_chunk(instm& source, outstm& pipe, char* buffer, std::int32_t size) {
  const std::int32_t got = source.read_block(buffer, size);
  if (got < 1)
    return false;
  try {
    pipe.write_block(buffer, got);
  } catch (estream* error) {
    if (error->error_code != error_broken_pipe)
      throw;
    delete error;  // the reader is gone: nothing more to feed
    return false;
  }
  return !source.at_end();
}

input_feeder::input_feeder(instm& source, outstm* pipe)
    : thread(false), source(source), pipe(pipe) {
  launch();
}

input_feeder::~input_feeder() { waitfor(); }

void input_feeder::stop() { atomic_exchange(&stop_requested, 1); }

void input_feeder::finish() {
  waitfor();
  failure.rethrow();
}

void input_feeder::run() {
  char* buffer = static_cast<char*>(mem_alloc(chunk_size));
  try {
    while (atomic_read(&stop_requested) == 0 && feed_chunk(source, *pipe, buffer, chunk_size)) {
    }
  } catch (...) {
    failure.keep_current();
  }
  mem_free(buffer);
  // The last reference: the reader sees the end of its input now, not when the run ends.
  release(std::exchange(pipe, nullptr));
}

}  // namespace pt
