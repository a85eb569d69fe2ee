// Units: running one synchronously or on its worker, the error report, finishing a run with
// the units behind it, and the link between two units.
#include "ortolib/units/unit.h"

#include <memory>

#include "ortolib/core/exception.h"
#include "ortolib/core/fatal.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/local_pipe.h"
#include "ortolib/streams/outfile.h"
#include "ortolib/streams/standard_streams.h"
#include "ortolib/units/unit_thread.h"

namespace pt {

unit::unit() {
  assign_ref(input_stream, &std_input);
  assign_ref(output_stream, &std_output);
}

unit::~unit() {
  delete atomic_exchange(&worker, static_cast<unit_thread*>(nullptr));
  release(atomic_exchange(&output_stream, static_cast<outstm*>(nullptr)));
  release(atomic_exchange(&input_stream, static_cast<instm*>(nullptr)));
}

std::int32_t unit::kind_code() { return kind_unit; }

void unit::work() {}

void unit::after_work() {}

void unit::run_unit(bool asynchronous) {
  if (atomic_exchange(&running, 1) != 0)
    return;
  if (worker != nullptr)
    fatal_error(fatal_unit_running, "Unit already running");
  // Every unit behind this one is reading before this one starts writing.
  if (next_unit != nullptr)
    next_unit->run_unit(true);
  if (asynchronous) {
    worker = new unit_thread(this);
  } else {
    perform_run();
    finish_run();
  }
}

void unit::report(exception* error) {
  // Deleted also when the report itself fails and that error travels on.
  std::unique_ptr<exception> owned(error);
  string message = owned->get_message();
  std_error.format("Error: %s\n", message.text());
}

void unit::perform_run() {
  try {
    if (!output_stream->is_active)
      output_stream->open_stream();
    if (!input_stream->is_active)
      input_stream->open_stream();
    work();
    if (output_stream->is_active)
      output_stream->flush_output();
  } catch (exception* error) {
    report(error);
  }
  try {
    after_work();
  } catch (exception* error) {
    report(error);
  }
  // The unit behind reads what this one wrote: closing the write end ends its input.
  if (next_unit != nullptr)
    output_stream->close_stream();
  if (input_from_link)
    input_stream->close_stream();
}

void unit::finish_run() {
  if (atomic_read(&running) == 0)
    return;
  // Deleting the worker waits until its thread has finished perform_run.
  delete atomic_exchange(&worker, static_cast<unit_thread*>(nullptr));
  unit* next = atomic_exchange(&next_unit, static_cast<unit*>(nullptr));
  if (next != nullptr) {
    next->finish_run();
    assign_ref(next->input_stream, &std_input);
    next->input_from_link = false;
  }
  assign_ref(output_stream, &std_output);
  atomic_exchange(&running, 0);
}

void unit::wait_run() { finish_run(); }

void unit::connect(unit* next) {
  if (next == nullptr)
    return;
  // Held here until both slots have them, so a failed pipe leaves nothing behind.
  infile* reader = addref(new infile);
  outfile* writer = addref(new outfile);
  writer->set_buffer_size(0);
  try {
    make_local_pipe(*reader, *writer);
  } catch (...) {
    release(writer);
    release(reader);
    throw;
  }
  assign_ref(next->input_stream, reader);
  assign_ref(output_stream, writer);
  release(writer);
  release(reader);
  next->input_from_link = true;
  next_unit = next;
}

}  // namespace pt
