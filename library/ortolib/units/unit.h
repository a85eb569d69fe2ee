// Processing units: a step with one input and one output stream whose work runs synchronously
// or on a thread of its own, and chains of units in which each one's output feeds the next.
#pragma once

#include <cstdint>

#include "ortolib/core/component.h"
#include "ortolib/streams/instm.h"
#include "ortolib/streams/outstm.h"

namespace pt {

class exception;
class unit_thread;

// A counted component (kind_unit). A subclass puts its processing into work and reads
// input_stream and writes output_stream there; run_unit opens both streams when they are not
// open, calls work, flushes the output and calls after_work.
//
// Errors: a library exception (exception*, stream errors included) from opening the streams,
// from work, from the flush or from after_work is reported on std_error as one line
// "Error: <message>" and deleted; the run then completes as usual and no error reaches the
// caller. An exception of any other type, or one raised while writing that report, passes
// out of run_unit (on a worker thread it leaves the thread, which ends the process).
// Fatal: run_unit on a unit that has a worker while it is not marked running ends the
// process with 0xC003C "Unit already running".
//
// Chains: connect joins this unit's output to the next unit's input through a local pipe.
// run_unit on the head starts every unit behind it asynchronously, each on a unit_thread of
// its own, before the head opens its streams; a finished unit in a chain closes its output, so
// the next one sees the end of its input. The head's run is finished by run_unit itself when it
// runs synchronously, or by wait_run when it was started asynchronously; finishing waits for
// every unit behind it and unlinks the chain, so a chain runs once.
//
// After every finished run the output slot holds std_output again (the stream that was there
// is released); a unit that was behind another in a chain gets std_input as its input.
//
// Threads: the fields are changed by the thread that calls run_unit, connect and wait_run
// and, for a unit running asynchronously, by its worker; the streams are used only by the
// thread that runs the unit. Connect, assign streams and destroy a unit only while it is not
// running (a unit destroyed while its worker still runs would have its work called on a
// partly destroyed object).
class unit : public component {
 public:
  // The following unit of a chain; not counted, not owned.
  unit* next_unit = nullptr;
  // The thread that runs this unit while it runs asynchronously; owned.
  unit_thread* worker = nullptr;
  // 1 from run_unit until the run is finished; changed by atomic exchange.
  std::int32_t running = 0;
  // Counted slots (assign_ref); std_input and std_output in a new unit.
  instm* input_stream = nullptr;
  outstm* output_stream = nullptr;

  unit();
  // Deletes the worker (which waits for its thread), then releases the output and the input
  // stream. next_unit is not touched.
  ~unit() override;

  std::int32_t kind_code() override;  // kind_unit

  // Runs the unit: synchronously on the calling thread (the run is finished when this
  // returns), or asynchronously on a new worker thread (finished by wait_run, or by the unit in
  // front of it in a chain). A unit whose run is in progress or not yet finished ignores the
  // call.
  void run_unit(bool asynchronous);

  // Makes next the unit after this one and joins this unit's output to next's input through
  // a new local pipe, replacing both streams (the ones they held are released). The write
  // end is unbuffered: each write reaches the pipe at once, and closing it never waits in the
  // OS for the reader (Windows' FlushFileBuffers on a pipe does until the reader has taken
  // everything). The read end has the default buffer. Neither unit may be running; next must
  // be another unit and null does nothing. When the pipe cannot be made, raises the stream
  // error of make_local_pipe and changes nothing.
  void connect(unit* next);

  // Finishes an asynchronous run of this unit: waits until its work, and that of every unit
  // behind it, has ended, then unlinks the chain and resets the streams as every finished run
  // does. Returns at once when no run is to be finished. Must not be called from the unit's own
  // worker thread: waiting for oneself is the fatal 0xC002F "Can not waitfor() on myself".
  void wait_run();

 protected:
  // The unit's processing; nothing here.
  virtual void work();
  // Called after work, also when work failed; nothing here.
  virtual void after_work();

  // Opens the streams (output first), calls work, flushes the output, calls after_work, and
  // reports library exceptions; in a chain it then closes the output (and a linked input).
  void perform_run();
  // Ends a run: joins the worker, finishes and unlinks the units behind, puts std_output into
  // the output slot and clears running. Nothing when running is 0.
  void finish_run();

 private:
  friend class unit_thread;

  // Set by connect on the unit behind: its input is the read end of a link, closed when its
  // run ends, so the unit in front gets a broken pipe instead of waiting for a reader that
  // stopped reading. Cleared when finish_run gives it std_input again.
  bool input_from_link = false;

  // Writes "Error: <message>" on std_error and deletes the exception.
  static void report(exception* error);
};

}  // namespace pt
