// Processing units: a step with one input and one output stream whose work runs synchronously
// or on a thread of its own, and chains of units in which each one's output feeds the next.
#pragma once

#include <cstdint>

#include "ortolib/core/component.h"
#include "ortolib/core/string.h"
#include "ortolib/streams/instm.h"
#include "ortolib/streams/outstm.h"

namespace pt {

class unit_thread;

// kind_code of a unit: the unit family.
inline constexpr std::int32_t kind_unit = 3;

// A counted component (kind_unit). A subclass puts its processing into work and reads
// input_stream and writes output_stream there; run_unit opens both streams when they are not
// open, calls work, flushes the output and calls after_work.
//
// Errors: every exception that leaves opening the streams, work, the flush or after_work is a
// failure of the unit: a library exception (exception*, stream errors included) with its
// message, a std::exception with what(), anything else with the text "Unknown exception". The
// message is kept (failed, last_error) and handed to report_error, which by default writes one
// line "Error: <message>" on std_error; the run then completes as usual (a unit in a chain
// still closes its output, so the next one sees the end of its data) and run_unit returns
// normally. Nothing escapes run_unit or a worker thread. A report that fails (std_error closed
// or full, or a report_error that throws) is dropped: the run ends as it would have with a
// working std_error.
// Fatal: run_unit on a unit that has a worker while it is not marked running ends the
// process with 0xC003C "Unit already running"; destroying a unit whose run is not finished
// (running, also an asynchronous run whose work has ended but that nobody finished with
// wait_run) ends it with the same code and "Unit destroyed while running [<name>]", as a
// std::thread that was not joined refuses to be destroyed: its work could still be using the
// object. A subclass whose work uses fields of its own calls refuse_destruction_while_running
// at the start of its destructor, before those fields are gone.
//
// The outcome of a chain: each unit knows its own failure (failed, last_error); the unit that a
// caller ran also knows whether any unit of its chain failed, which one first and with what
// message (chain_failed, first_failed_unit, first_error), once its run is finished.
//
// Chains: connect joins this unit's output to the next unit's input through a local pipe whose
// ends are named after their units ("output of <name>", "input of <name>"), so an error of
// the link, such as "Broken pipe [output of <name>]", says whose stream failed.
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
// running.
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
  // The unit's name in the names of the pipe ends connect makes; empty: the unit's class
  // name (as the compiler spells it, e.g. "app::upper_case"). Read by connect.
  string name;

  unit();
  // Releases the output and the input stream; next_unit is not touched. A unit whose run is
  // not finished is the fatal "Unit destroyed while running" (above).
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

  // The outcome of the last run, to be read once it is finished: whether a library exception
  // was caught during it, and the message of the last one (empty when none was). Both are
  // reset when a run starts.
  bool failed() const { return run_failed; }
  string last_error() const { return last_error_message; }

  // The outcome of the last run of the chain this unit headed (of this unit alone when it ran
  // without one), to be read once the run is finished: whether this unit or any unit behind it
  // failed, the name of the one that failed first (its name, or its class name as connect
  // names it) and that unit's message. Empty texts when none failed. Reset when a run starts.
  bool chain_failed() const { return !first_failure.unit_name.is_empty(); }
  string first_failed_unit() const { return first_failure.unit_name; }
  string first_error() const { return first_failure.message; }

 protected:
  // The unit's processing; nothing here.
  virtual void work();
  // Called after work, also when work failed; nothing here.
  virtual void after_work();
  // Reports the message of a library exception caught during a run, on the thread that runs
  // the unit; by default the line "Error: <message>" on std_error. A library exception that
  // it raises is deleted and goes no further.
  virtual void report_error(const string& message);

  // Opens the streams (output first), calls work, flushes the output, calls after_work, and
  // reports every exception; in a chain it then closes the output (and a linked input).
  void perform_run();
  // Ends a run: joins the worker, finishes and unlinks the units behind, puts std_output into
  // the output slot and clears running. Nothing when running is 0.
  void finish_run();

  // The fatal "Unit destroyed while running [<name>]" when the unit's run is not finished;
  // nothing otherwise. Called by the last release before any destructor runs, so that the name
  // is the unit's own class; by ~unit, and first of all by the destructor of a subclass whose
  // work uses its own fields, for a unit deleted without release. The process ends at once,
  // without the clean-ups a normal end runs, which the work still running could be using.
  void refuse_destruction_while_running();
  void before_last_release() override;

 private:
  friend class unit_thread;

  // Set by connect on the unit behind: its input is the read end of a link, closed when its
  // run ends, so the unit in front gets a broken pipe instead of waiting for a reader that
  // stopped reading. Cleared when finish_run gives it std_input again.
  bool input_from_link = false;
  // The outcome of the current or last run (failed, last_error).
  bool run_failed = false;
  string last_error_message;

  // The first failure of the chain: the unit's name and message, and when it happened, by a
  // process-wide count of failures (0: none).
  struct failure_record {
    string unit_name;
    string message;
    std::uint64_t sequence = 0;
  };
  failure_record first_failure;

  // Runs one step of perform_run; any exception that leaves it is a failure of the unit.
  template <class Step>
  void guarded(Step step);
  // Keeps the message and calls report_error.
  void record_failure(const string& message);
  // Takes the first failure of the unit behind into this unit's, when it came earlier.
  void merge_chain_outcome(const unit& behind);
};

}  // namespace pt
