// The process unit: the start of the child with its standard handles, the pipe substitutes
// for streams without an OS handle, the copy loop, the wait for the exit code, and the wait for
// a child that the unit lets run on.
#include "ortolib/units/uexec.h"

#include <string>
#include <string_view>
#include <utility>

#include "ortolib/core/exception.h"
#include "ortolib/core/memory.h"
#include "ortolib/core/number_text.h"
#include "ortolib/core/pending_exception.h"
#include "ortolib/platform/command_line.h"
#include "ortolib/platform/exit_codes.h"
#include "ortolib/platform/private/child_watch.h"
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/platform/private/process_tree.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/local_pipe.h"
#include "ortolib/streams/outfile.h"
#include "ortolib/streams/outmemory.h"
#include "ortolib/units/input_feeder.h"
#include "ortolib/units/thread.h"

namespace pt {

struct uexec::started_child {
  critsec lock;  // guards live and watch
  platform::handle process = platform::no_handle;
  platform::handle tree = platform::no_handle;
  // True until the child is known to have ended; only then is it waited for (reaped), so
  // terminate_child never reaches a process that took over its id.
  bool live = true;
  // While a run reads the child's output: what terminate_child tells to stop waiting for it.
  platform::child_watch* watch = nullptr;

  started_child() = default;
  started_child(const started_child&) = delete;
  started_child& operator=(const started_child&) = delete;
  ~started_child() {
    platform::process_tree_close(tree);
    platform::process_close(process);
  }

  // Waits until the child has ended and marks it so, leaving it to be reaped.
  void wait_end() {
    platform::process_wait_end(process);
    const critsec_guard hold(lock);
    live = false;
  }
};

namespace {

template <class T>
void drop(T*& counted) {
  release(atomic_exchange(&counted, static_cast<T*>(nullptr)));
}

// The pipe streams of one run and the streams they stand in for, each held by one counted
// reference. The destructor puts the saved streams back into the unit's slots and releases
// everything, on the normal path and when work fails part way; the last release of a pipe
// stream closes its end.
class run_streams {
 public:
  explicit run_streams(unit& owner) : owner(owner) {}
  run_streams(const run_streams&) = delete;
  run_streams& operator=(const run_streams&) = delete;
  ~run_streams() {
    if (saved_input != nullptr)
      assign_ref(owner.input_stream, saved_input);
    if (saved_output != nullptr)
      assign_ref(owner.output_stream, saved_output);
    drop(saved_input);
    drop(saved_output);
    drop(feeder);
    drop(collector);
  }

  instm* saved_input = nullptr;    // the unit's input, while a pipe's read end stands in for it
  outstm* saved_output = nullptr;  // the unit's output, while a pipe's write end stands in for it
  outfile* feeder = nullptr;       // writes saved_input's data into the child's input pipe
  infile* collector = nullptr;     // reads the child's output pipe

  // Puts the read end of a new pipe into the input slot; the write end is the feeder.
  void substitute_input() {
    saved_input = addref(owner.input_stream);
    infile* reader = new infile;
    reader->set_buffer_size(0);
    assign_ref(owner.input_stream, reader);
    feeder = addref(new outfile);
    feeder->set_buffer_size(0);
    make_local_pipe(*reader, *feeder);
  }

  // Puts the write end of a new pipe into the output slot; the read end is the collector.
  void substitute_output() {
    saved_output = addref(owner.output_stream);
    outfile* writer = new outfile;
    writer->set_buffer_size(0);
    assign_ref(owner.output_stream, writer);
    collector = addref(new infile);
    collector->set_buffer_size(0);
    make_local_pipe(*collector, *writer);
  }

 private:
  unit& owner;
};

// The thread handle that process_start gives, released once, also when work fails.
class thread_handle_holder {
 public:
  platform::handle value = platform::no_handle;
  thread_handle_holder() = default;
  thread_handle_holder(const thread_handle_holder&) = delete;
  thread_handle_holder& operator=(const thread_handle_holder&) = delete;
  ~thread_handle_holder() { close(); }
  void close() {
    platform::process_close(value);
    value = platform::no_handle;
  }
};

// What ties a stand-in child to the process, ended once, when work ends: after the wait on the
// normal path, and for a child left running when work fails.
class stand_in_holder {
 public:
  explicit stand_in_holder(platform::handle tie) : tie_(tie) {}
  stand_in_holder(const stand_in_holder&) = delete;
  stand_in_holder& operator=(const stand_in_holder&) = delete;
  ~stand_in_holder() { platform::process_stand_in_end(tie_); }

 private:
  platform::handle tie_;
};

// The copy loop's one buffer (copy_chunk_size bytes), allocated when it is first needed, so
// that a unit that copies nothing (background mode) takes none.
class copy_buffer {
 public:
  copy_buffer() = default;
  copy_buffer(const copy_buffer&) = delete;
  copy_buffer& operator=(const copy_buffer&) = delete;
  ~copy_buffer() { mem_free(bytes); }
  char* get() {
    if (bytes == nullptr)
      bytes = static_cast<char*>(mem_alloc(uexec::copy_chunk_size));
    return bytes;
  }

 private:
  char* bytes = nullptr;
};

// True for a pipe end made by make_local_pipe: a file stream of that direction (a log file
// counts as an output file) that records the pipe's other end. The parent closes such an end
// once the child holds it, so that the child's copy is the only one.
template <class file_stream>
bool is_pipe_end(iobase* stream, std::int32_t kind) {
  if ((stream->kind_code() & kind_family_and_device) != kind)
    return false;
  auto* file = dynamic_cast<file_stream*>(stream);
  return file != nullptr && file->pipe_peer_handle != platform::no_handle;
}

// One read of the child's output, once the watch lets it: the bytes read, or 0 at the end of
// the output and when the watch gave up on it (a read it cancelled is no failure).
std::int32_t read_output(infile& collector, char* buffer, platform::child_watch* watch) {
  if (watch != nullptr &&
      platform::child_watch_wait(watch, collector.os_handle) == platform::output_wait::given_up)
    return 0;
  try {
    return collector.read_block(buffer, uexec::copy_chunk_size);
  } catch (exception* error) {
    if (watch == nullptr || !platform::child_watch_gave_up(watch))
      throw;
    delete error;
    return 0;
  }
}

// Copies one read of the child's output on to destination. False at the end of the output.
bool collect_chunk(infile& collector, outstm& destination, char* buffer,
                   platform::child_watch* watch) {
  const std::int32_t got = read_output(collector, buffer, watch);
  if (got < 1)
    return false;
  destination.write_block(buffer, got);
  return true;
}

// Both directions through pipes: the input is fed on a thread of its own while this thread
// collects, so neither waits on the child while the child waits on the other. A failure of
// the output's destination does not stop the reading: the rest is drained, so that a child
// blocked on a full pipe can go on and end (and the feeder with it). The first failure of
// either side is thrown once both have ended.
void feed_and_collect(run_streams& streams, const bool& background, platform::child_watch* watch) {
  input_feeder feeding(*streams.saved_input, std::exchange(streams.feeder, nullptr));
  copy_buffer buffer;
  pending_exception failure;
  while (streams.collector != nullptr && !background) {
    std::int32_t got = 0;
    try {
      got = read_output(*streams.collector, buffer.get(), watch);
    } catch (...) {
      failure.keep_current();  // the pipe itself failed: nothing more can be drained
    }
    if (got < 1) {
      drop(streams.collector);
    } else if (!failure.has_exception()) {
      try {
        streams.saved_output->write_block(buffer.get(), got);
      } catch (...) {
        failure.keep_current();
      }
    }
  }
  if (background)
    feeding.stop();
  try {
    feeding.finish();
  } catch (...) {
    failure.keep_current();
  }
  failure.rethrow();
}

// Copies between the unit's streams and the child's pipes until the child's side of each has
// ended, or background mode is set. A failure passes out at once where one side alone is a
// pipe, as it always has (the wrapper's path: the output alone).
void copy_data(run_streams& streams, const bool& background, platform::child_watch* watch) {
  if (background)
    return;
  if (streams.feeder != nullptr && streams.collector != nullptr) {
    feed_and_collect(streams, background, watch);
    return;
  }
  copy_buffer buffer;  // taken at its first use, kept for the rest of the loop
  while (streams.feeder != nullptr && !background) {
    if (!feed_chunk(*streams.saved_input, *streams.feeder, buffer.get(), uexec::copy_chunk_size))
      drop(streams.feeder);
  }
  while (streams.collector != nullptr && !background) {
    if (!collect_chunk(*streams.collector, *streams.saved_output, buffer.get(), watch))
      drop(streams.collector);
  }
}

// Waits for a child that the unit lets run on (background mode, a failed copy) and reaps it
// once it has ended, so that no zombie is left; it shares the child with the unit, which may be
// destroyed first.
class child_reaper final : public thread {
 public:
  explicit child_reaper(std::shared_ptr<uexec::started_child> child)
      : thread(true), child_(std::move(child)) {}

 protected:
  void run() override {
    child_->wait_end();
    std::uint32_t code = 0;
    platform::process_wait(child_->process, code);
  }

 private:
  std::shared_ptr<uexec::started_child> child_;
};

// The watch over a run's reads of the child's output (platform/private/child_watch.h), open
// while the run reads and known to terminate_child through the child, so that a stopped run
// stops waiting for a pipe that something outside the child's tree may hold for ever.
class output_watch {
 public:
  output_watch(uexec::started_child& child, bool stand_in, bool wanted) : child_(child) {
    if (!wanted)
      return;
    watch_ = platform::child_watch_open(child.process, stand_in);  // null: reads just wait
    const critsec_guard hold(child.lock);
    child.watch = watch_;
  }
  ~output_watch() {
    {
      const critsec_guard hold(child_.lock);
      child_.watch = nullptr;
    }
    platform::child_watch_close(watch_);
  }
  output_watch(const output_watch&) = delete;
  output_watch& operator=(const output_watch&) = delete;

  platform::child_watch* get() const { return watch_; }

 private:
  uexec::started_child& child_;
  platform::child_watch* watch_ = nullptr;
};

// A memory stream whose size limit kept part of the child's output out makes the run a
// failure that says so, once the child's end is recorded: a caller never takes a cut text for
// the whole one.
void refuse_cut_output(outstm* destination) {
  const auto* memory = dynamic_cast<const outmemory*>(destination);
  if (memory != nullptr && memory->was_cut())
    throw new exception("Output cut at its limit of " + int_to_decimal(memory->size_limit) +
                        " bytes (" + int_to_decimal(memory->dropped_bytes()) +
                        " more bytes dropped)");
}

}  // namespace

uexec::uexec() = default;

uexec::~uexec() { refuse_destruction_while_running(); }

void uexec::add_argument(const string& argument) {
  // Quoted by characters of the code page the child reads its command line in.
  // UTF-8 has no lead bytes: no byte of a character is ever a quote or a backslash.
  const std::string token = quote_argument(
      std::string_view(argument.text(), argument.length()),
      argument_encoding == text_encoding::ansi ? platform::ansi_lead_bytes() : lead_bytes());
  array_add(args, variant(string(token.data(), string_length_of(token.size()))));
}

string uexec::argument_text() {
  string text;
  const std::int32_t count = array_length(args);
  for (std::int32_t i = 0; i < count; ++i) {
    text += ' ';
    text += variant_to_string(array_item(args, i));
  }
  return text;
}

string uexec::shown_path() {
  const std::string ansi = ansi_text(std::string_view(path.text(), path.length()), path_encoding);
  // cppcheck-suppress returnDanglingLifetime ; the string copies the bytes into its own block
  return string(ansi.data(), string_length_of(ansi.size()));
}

string uexec::command_line() {
  const std::string name = quote_program_name(std::string_view(path.text(), path.length()));
  return string(name.data(), string_length_of(name.size())) + argument_text();
}

bool uexec::terminate_child() {
  const critsec_guard hold(child_lock);
  if (!child)
    return false;
  const critsec_guard hold_child(child->lock);
  if (!child->live)
    return false;
  const bool ended = platform::process_kill_tree(child->process, child->tree);
  if (child->watch != nullptr)
    platform::child_watch_stop(child->watch);
  return ended;
}

void uexec::hold_stops_until_exit() { platform::process_stops_hold(); }

bool uexec::stop_requested() { return platform::process_stop_requested(); }

void uexec::let_go_of_ended_child() {
  bool runs = false;
  {
    const critsec_guard hold(child_lock);
    if (child) {
      // Its end may not have been marked yet by the thread that waits for it.
      const critsec_guard hold_child(child->lock);
      runs = child->live && !platform::process_ended(child->process);
    }
    if (!runs)
      child.reset();
  }
  if (runs)
    throw new exception("Couldn't run '" + shown_path() +
                        "' - the child of an earlier run still runs (process " +
                        int_to_decimal(process_id) + ")");
  process_handle = platform::no_handle;
  process_id = -1;
}

void uexec::start_child(platform::handle& child_thread, platform::handle& stand_in_tie) {
  const bool standing_in = stand_in && !background;
  if (standing_in && platform::process_stop_requested())
    throw new exception("Couldn't run '" + shown_path() + "' - stopped before it started");
  const string arguments = argument_text();
  platform::process_request request;
  request.application = path.text();
  request.application_encoding = path_encoding;
  request.arguments = arguments.text();
  request.arguments_encoding = argument_encoding;
  request.inherit_handles = inherit_handles;
  request.std_input = input_stream->os_handle;
  request.std_output = output_stream->os_handle;
  request.std_error = output_stream->os_handle;
  request.stand_in = standing_in;
  auto record = std::make_shared<started_child>();  // before the start: nothing may fail after
  platform::process_info started;
  if (arguments_overflow || !platform::process_start(request, started)) {
    const platform::os_error error = arguments_overflow ? platform::command_line_too_long
                                                        : platform::last_error();
    throw new exception("Couldn't run '" + shown_path() + "' error " + uint32_to_decimal(error));
  }
  child_thread = started.thread;
  stand_in_tie = started.stand_in;
  record->process = started.process;
  record->tree = started.tree;
  {
    const critsec_guard hold(child_lock);
    child = std::move(record);
  }
  process_handle = started.process;
  process_id = static_cast<std::int32_t>(started.process_id);
}

void uexec::wait_for_child() {
  // Ended first, reaped after: until the child is known to have ended terminate_child may
  // still end it, and once it is reaped its id may belong to another process.
  child->wait_end();
  std::uint32_t code = 0;
  if (platform::process_wait(child->process, code) && code != exit_code_still_active)
    exit_code = static_cast<std::int32_t>(code);
  {
    const critsec_guard hold(child_lock);
    child.reset();  // the last holder: its handles are closed
  }
  process_handle = platform::no_handle;
  process_id = -1;
}

void uexec::leave_child_held() { (new child_reaper(child))->launch(); }

void uexec::work() {
  if (process_handle != platform::no_handle)
    let_go_of_ended_child();  // a child of an earlier run that still runs is a failure
  exit_code = -1;
  if (!platform::file_exists(path.text(), path_encoding))
    throw new exception("Couldn't run '" + shown_path() + "' - missing executable");

  run_streams streams(*this);
  if (input_stream->os_handle == platform::no_handle)
    streams.substitute_input();
  const bool close_input = is_pipe_end<infile>(input_stream, kind_infile);
  if (output_stream->os_handle == platform::no_handle)
    streams.substitute_output();
  const bool close_output = is_pipe_end<outfile>(output_stream, kind_outfile);

  thread_handle_holder child_thread;
  platform::handle stand_in_tie = platform::no_handle;
  start_child(child_thread.value, stand_in_tie);
  const stand_in_holder tie(stand_in_tie);
  try {
    // From here on the child holds the only write end of its output pipe, so the collector
    // sees the end of data once the child and everything that inherited the end have closed it.
    if (close_output)
      output_stream->close_stream();
    if (close_input)
      input_stream->close_stream();
    {
      const output_watch watch(*child, stand_in && !background,
                               streams.collector != nullptr && !background);
      copy_data(streams, background, watch.get());
    }
    if (!background)
      wait_for_child();
  } catch (...) {
    leave_child_held();  // not waited for: it stays the unit's, and is reaped when it ends
    throw;
  }
  if (background)
    leave_child_held();
  else
    refuse_cut_output(streams.saved_output != nullptr ? streams.saved_output : output_stream);
  // streams puts the saved streams back and closes the pipe ends as it goes; child_thread
  // releases the thread handle.
}

}  // namespace pt
