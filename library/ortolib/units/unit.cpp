// Units: running one synchronously or on its worker, the error report, finishing a run with
// the units behind it, and the link between two units.
#include "ortolib/units/unit.h"

#include <cxxabi.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
#include <typeinfo>

#include "ortolib/core/exception.h"
#include "ortolib/core/fatal.h"
#include "ortolib/core/ref.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/local_pipe.h"
#include "ortolib/streams/outfile.h"
#include "ortolib/streams/standard_streams.h"
#include "ortolib/units/unit_thread.h"

namespace pt {

namespace {

// The ends of a link between two units: pipe streams that carry a name for their messages. The
// name is not a file name, so a closed end opened again fails as a nameless pipe end does
// instead of opening a file of that name.
class link_reader : public infile {
 public:
  explicit link_reader(const string& name) : link_name(name) {}

 protected:
  string stream_name() override { return link_name; }

 private:
  string link_name;
};

class link_writer : public outfile {
 public:
  explicit link_writer(const string& name) : link_name(name) {}

 protected:
  string stream_name() override { return link_name; }

 private:
  string link_name;
};

// The name a unit goes by in messages: its own, or its class name as the compiler spells it.
string name_of(unit& u) {
  if (!u.name.is_empty())
    return u.name;
  const char* mangled = typeid(u).name();
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> readable(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
  return status == 0 && readable ? string(readable.get()) : string(mangled);
}

// Orders the failures of all units: the one with the lower number came first.
std::atomic<std::uint64_t> failure_count{0};

}  // namespace

unit::unit() {
  assign_ref(input_stream, &std_input);
  assign_ref(output_stream, &std_output);
}

unit::~unit() {
  refuse_destruction_while_running();
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
    fatal_error(fatal::unit_running);
  run_failed = false;
  last_error_message.clear();
  first_failure = failure_record{};
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

void unit::report_error(const string& message) { std_error.format("Error: %s\n", message); }

void unit::record_failure(const string& message) {
  last_error_message = message;
  if (!run_failed)
    first_failure = {name_of(*this), message, failure_count.fetch_add(1) + 1};
  run_failed = true;
  try {
    report_error(message);
  } catch (exception* failed_report) {
    // Nowhere left to report it: the run goes on as it would have after a written report.
    delete failed_report;
  } catch (...) {  // NOLINT(bugprone-empty-catch): a report_error of a subclass, the same
  }
}

template <class Step>
void unit::guarded(Step step) {
  try {
    step();
  } catch (exception* error) {
    record_failure(caught(error).message());
  } catch (const std::exception& error) {
    record_failure(string(error.what()));
  } catch (...) {
    record_failure(string("Unknown exception"));
  }
}

void unit::perform_run() {
  guarded([this] {
    if (!output_stream->is_active)
      output_stream->open_stream();
    if (!input_stream->is_active)
      input_stream->open_stream();
    work();
    if (output_stream->is_active)
      output_stream->flush_output();
  });
  guarded([this] { after_work(); });
  // The unit behind reads what this one wrote: closing the write end ends its input.
  if (next_unit != nullptr)
    guarded([this] { output_stream->close_stream(); });
  if (input_from_link)
    guarded([this] { input_stream->close_stream(); });
}

void unit::finish_run() {
  if (atomic_read(&running) == 0)
    return;
  // Deleting the worker waits until its thread has finished perform_run.
  delete atomic_exchange(&worker, static_cast<unit_thread*>(nullptr));
  unit* next = atomic_exchange(&next_unit, static_cast<unit*>(nullptr));
  if (next != nullptr) {
    next->finish_run();
    merge_chain_outcome(*next);
    assign_ref(next->input_stream, &std_input);
    next->input_from_link = false;
  }
  assign_ref(output_stream, &std_output);
  atomic_exchange(&running, 0);
}

void unit::merge_chain_outcome(const unit& behind) {
  const failure_record& theirs = behind.first_failure;
  if (theirs.sequence != 0 &&
      (first_failure.sequence == 0 || theirs.sequence < first_failure.sequence))
    first_failure = theirs;
}

void unit::refuse_destruction_while_running() {
  if (atomic_read(&running) == 0)
    return;
  const string message = "Unit destroyed while running [" + name_of(*this) + "]";
  fatal_error_at_once(fatal_unit_running, message.text());
}

void unit::before_last_release() { refuse_destruction_while_running(); }

void unit::wait_run() { finish_run(); }

void unit::connect(unit* next) {
  if (next == nullptr)
    return;
  // Held here until both slots have them, so a failed pipe leaves nothing behind.
  ref<infile> reader(new link_reader("input of " + name_of(*next)));
  ref<outfile> writer(new link_writer("output of " + name_of(*this)));
  writer->set_buffer_size(0);
  make_local_pipe(*reader, *writer);
  assign_ref(next->input_stream, reader);
  assign_ref(output_stream, writer);
  next->input_from_link = true;
  next_unit = next;
}

}  // namespace pt
