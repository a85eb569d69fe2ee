// Feeding a child's input pipe from a stream on a thread of its own, so that whoever collects
// the child's output never waits on the input while the child waits on its output.
#pragma once

#include <cstdint>
#include "ortolib/core/pending_exception.h"
#include "ortolib/streams/instm.h"
#include "ortolib/streams/outstm.h"
#include "ortolib/units/thread.h"

namespace pt {

// Copies source into pipe, a chunk at a time, from the constructor on, until source ends (a
// read of less than one byte, or at_end after a chunk), a stop is asked for, or pipe's reader
// is gone: a broken pipe is the end of the feeding, not a failure (a child that ends or closes
// its input before everything was fed just does not get the rest). Then it releases pipe,
// which closes it when that was the last reference, so the reader sees the end of its input.
//
// Ownership: the feeder takes over one reference to pipe (given by the caller) and borrows
// source, which must live and must not be used by anyone else until finish has returned.
// Any other exception of the copy (a library exception, a std::exception, anything) ends the
// feeding as well; finish throws it on, on the caller's thread.
class input_feeder final : public thread {
 public:
  input_feeder(instm& source, outstm* pipe);
  // Waits for the thread; an exception that finish did not throw is dropped.
  ~input_feeder() override;
  input_feeder(const input_feeder&) = delete;
  input_feeder& operator=(const input_feeder&) = delete;

  // Asks the copy to end after the chunk it is writing (a write that waits for a reader that
  // never reads still waits).
  void stop();
  // Waits until the copy has ended and throws on what it failed with, if anything.
  void finish();

  // The most bytes one read of the source takes.
  static constexpr std::int32_t chunk_size = 64 * 1024;

 protected:
  void run() override;

 private:
  instm& source;
  outstm* pipe;                     // the counted reference taken over; null once released
  std::int32_t stop_requested = 0;  // changed by atomic_exchange
  pending_exception failure;        // what the copy failed with, for finish
};

// Copies one chunk of source into pipe through buffer (size bytes). False when there is no
// more to feed: source ended, or pipe's reader is gone (a broken pipe, which is not thrown).
// Other errors of either stream are thrown.
bool feed_chunk(instm& source, outstm& pipe, char* buffer, std::int32_t size);

}  // namespace pt
