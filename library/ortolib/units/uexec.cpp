// The process unit: the start of the child with its standard handles, the pipe substitutes
// for streams without an OS handle, the copy loop, the wait for the exit code, and the wait for
// a child that the unit lets run on.
#include "ortolib/units/uexec.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    drop(error_writer);
    drop(error_collector);
  }

  instm* saved_input = nullptr;     // the unit's input, while a pipe's read end stands in for it
  outstm* saved_output = nullptr;   // the unit's output, while a pipe's write end stands in for it
  outfile* feeder = nullptr;        // writes saved_input's data into the child's input pipe
  infile* collector = nullptr;      // reads the child's output pipe
  outfile* error_writer = nullptr;  // the child's end of its error pipe, until it holds it
  infile* error_collector = nullptr;  // reads the child's error pipe

  unit& owner_unit() { return owner; }
  // Whether the run reads an output of the child through a pipe.
  bool reads_output() const { return collector != nullptr || error_collector != nullptr; }

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

  // A pipe of its own for the child's standard error, which goes apart from its output.
  void substitute_error() {
    error_writer = addref(new outfile);
    error_writer->set_buffer_size(0);
    error_collector = addref(new infile);
    error_collector->set_buffer_size(0);
    make_local_pipe(*error_collector, *error_writer);
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

// Collects the child's standard error apart, on a thread of its own, while the output is
// collected: a child that fills one pipe while the other is read never waits. As with the
// output, a failure of the destination does not stop the reading, so that the child can go on
// and end; the first failure is thrown by finish.
class error_collection final : public thread {
 public:
  error_collection(infile& pipe, outstm& destination, platform::child_watch* watch)
      : thread(false), pipe_(pipe), destination_(destination), watch_(watch) {
    launch();
  }
  ~error_collection() override { waitfor(); }
  error_collection(const error_collection&) = delete;
  error_collection& operator=(const error_collection&) = delete;

  void finish() {
    waitfor();
    failure_.rethrow();
  }

 protected:
  void run() override {
    if (watch_ != nullptr)
      platform::child_watch_join(watch_);
    copy_buffer buffer;
    try {
      for (std::int32_t got; (got = read_output(pipe_, buffer.get(), watch_)) > 0;) {
        if (failure_.has_exception())
          continue;
        try {
          destination_.write_block(buffer.get(), got);
        } catch (...) {
          failure_.keep_current();
        }
      }
    } catch (...) {
      failure_.keep_current();  // the pipe itself failed: nothing more can be read
    }
  }

 private:
  infile& pipe_;
  outstm& destination_;
  platform::child_watch* watch_;
  pending_exception failure_;
};

// Ends the run's child and its tree when the time limit passes, from a thread of its own that
// waits for the limit or the end of the run, whichever comes first.
class run_deadline final : public thread {
 public:
  run_deadline(uexec& unit, std::int32_t milliseconds)
      : thread(false), unit_(unit), limit_(milliseconds) {
    launch();
  }
  ~run_deadline() override { end(); }
  run_deadline(const run_deadline&) = delete;
  run_deadline& operator=(const run_deadline&) = delete;

  // The run is over: the thread ends at once if the limit has not passed. True when it passed
  // and the child was ended for it.
  bool end() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      over_ = true;
    }
    over_changed_.notify_all();
    waitfor();
    return passed_;
  }

 protected:
  void run() override {
    std::unique_lock<std::mutex> hold(lock_);
    if (over_changed_.wait_for(hold, std::chrono::milliseconds(limit_), [this] { return over_; }))
      return;
    hold.unlock();
    passed_ = unit_.terminate_child();  // read by end, after the thread has ended
  }

 private:
  uexec& unit_;
  std::int32_t limit_;
  std::mutex lock_;
  std::condition_variable over_changed_;
  bool over_ = false;
  bool passed_ = false;
};

// What the child is given where its streams go through pipes, and what the parent closes of
// those pipes once the child holds them.
struct child_ends {
  bool close_input = false;
  bool close_output = false;
  platform::handle error = platform::no_handle;  // the child's standard error
};

// Puts pipes in place of the unit's streams that have no OS handle, and one for a separate
// error stream without one.
child_ends place_streams(run_streams& streams, outstm* errors) {
  unit& owner = streams.owner_unit();
  child_ends ends;
  if (owner.input_stream->os_handle == platform::no_handle)
    streams.substitute_input();
  ends.close_input = is_pipe_end<infile>(owner.input_stream, kind_infile);
  if (owner.output_stream->os_handle == platform::no_handle)
    streams.substitute_output();
  ends.close_output = is_pipe_end<outfile>(owner.output_stream, kind_outfile);
  ends.error = owner.output_stream->os_handle;
  if (errors != nullptr) {
    if (errors->os_handle == platform::no_handle)
      streams.substitute_error();
    ends.error = streams.error_writer != nullptr ? streams.error_writer->os_handle
                                                 : errors->os_handle;
  }
  return ends;
}

// From here on the child holds the only write ends of its output pipes, so each collector sees
// the end of data once the child and everything that inherited the end have closed it.
void close_parent_ends(run_streams& streams, const child_ends& ends) {
  unit& owner = streams.owner_unit();
  if (ends.close_output)
    owner.output_stream->close_stream();
  if (ends.close_input)
    owner.input_stream->close_stream();
  drop(streams.error_writer);
}

// Reads the child's output, and its standard error apart when that has a pipe of its own,
// until their ends (or the watch ends the reads after a stop). When the output fails the
// error's reads are abandoned at once, as the child may hold that pipe for ever.
void collect_outputs(run_streams& streams, outstm* errors, const bool& background,
                     platform::child_watch* watch) {
  std::optional<error_collection> error_reads;
  if (streams.error_collector != nullptr && !background)
    error_reads.emplace(*streams.error_collector, *errors, watch);
  try {
    copy_data(streams, background, watch);
  } catch (...) {
    if (error_reads && watch != nullptr)
      platform::child_watch_abandon(watch);
    throw;  // error_reads waits for its thread on the way out
  }
  if (error_reads)
    error_reads->finish();
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

uexec::~uexec() {
  refuse_destruction_while_running();
  release(atomic_exchange(&error_stream, static_cast<outstm*>(nullptr)));
}

outstm* uexec::separate_error_stream() {
  outstm* errors = error_stream;
  return errors != nullptr && errors != output_stream ? errors : nullptr;
}

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

std::vector<std::string> uexec::environment_changes() {
  std::vector<std::string> changes;
  const std::int32_t count = array_length(environment);
  for (std::int32_t i = 0; i < count; ++i) {
    const string change = variant_to_string(array_item(environment, i));
    changes.emplace_back(change.text(), change.length());
  }
  return changes;
}

namespace {

// A text of that encoding as messages show it, in the ANSI code page.
string shown_text(const string& text, text_encoding encoding) {
  const std::string ansi = ansi_text(std::string_view(text.text(), text.length()), encoding);
  // cppcheck-suppress returnDanglingLifetime ; the string copies the bytes into its own block
  return string(ansi.data(), string_length_of(ansi.size()));
}

}  // namespace

string uexec::shown_path() { return shown_text(path, path_encoding); }

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
  // A child that has ended may still lead a tree that holds its output: that is ended all the
  // same, but no child was.
  const bool had_ended = platform::process_ended(child->process);
  const bool ended = platform::process_kill_tree(child->process, child->tree);
  if (child->watch != nullptr)
    platform::child_watch_stop(child->watch);
  return ended && !had_ended;
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

void uexec::start_child(platform::handle error_handle, platform::handle& child_thread,
                        platform::handle& stand_in_tie) {
  const bool standing_in = stand_in && !background;
  if (standing_in && platform::process_stop_requested())
    throw new exception("Couldn't run '" + shown_path() + "' - stopped before it started");
  const string arguments = argument_text();
  const std::vector<std::string> changes = environment_changes();
  platform::process_request request;
  request.application = path.text();
  request.application_encoding = path_encoding;
  request.arguments = arguments.text();
  request.arguments_encoding = argument_encoding;
  request.inherit_handles = inherit_handles;
  request.std_input = input_stream->os_handle;
  request.std_output = output_stream->os_handle;
  request.std_error = error_handle;
  request.stand_in = standing_in;
  if (!working_directory.is_empty())
    request.working_directory = working_directory.text();
  request.inherit_environment = inherit_environment;
  if (!changes.empty())
    request.environment_changes = &changes;
  // A tree of its own, so that terminate_child and the time limit end what the child started.
  request.tree = true;
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
  int end_signal = 0;
  if (platform::process_wait(child->process, code, &end_signal) && code != exit_code_still_active)
    exit_code = static_cast<std::int32_t>(code);
  exit_signal = end_signal;
  {
    const critsec_guard hold(child_lock);
    child.reset();  // the last holder: its handles are closed
  }
  process_handle = platform::no_handle;
  process_id = -1;
}

void uexec::leave_child_held() { (new child_reaper(child))->launch(); }

// On every way out, streams puts the saved streams back and closes the pipe ends as it goes,
// and child_thread releases the thread handle.
void uexec::work() {
  if (process_handle != platform::no_handle)
    let_go_of_ended_child();  // a child of an earlier run that still runs is a failure
  exit_code = no_exit_code;
  exit_signal = 0;
  run_timed_out = false;
  if (!platform::file_exists(path.text(), path_encoding))
    throw new exception("Couldn't run '" + shown_path() + "' - missing executable");
  if (!working_directory.is_empty() &&
      !platform::directory_exists(working_directory.text(), path_encoding))
    throw new exception("Couldn't run '" + shown_path() + "' - missing working directory '" +
                        shown_text(working_directory, path_encoding) + "'");

  outstm* errors = separate_error_stream();
  if (errors != nullptr && !errors->is_active)
    errors->open_stream();
  run_streams streams(*this);
  const child_ends ends = place_streams(streams, errors);
  thread_handle_holder child_thread;
  platform::handle stand_in_tie = platform::no_handle;
  start_child(ends.error, child_thread.value, stand_in_tie);
  const stand_in_holder tie(stand_in_tie);
  try {
    close_parent_ends(streams, ends);
    std::optional<run_deadline> deadline;
    if (time_limit > 0 && !background)
      deadline.emplace(*this, time_limit);
    {
      const output_watch watch(*child, stand_in && !background,
                               streams.reads_output() && !background);
      collect_outputs(streams, errors, background, watch.get());
    }
    if (!background)
      wait_for_child();
    run_timed_out = deadline && deadline->end();
  } catch (...) {
    leave_child_held();  // not waited for: it stays the unit's, and is reaped when it ends
    throw;
  }
  if (background)
    leave_child_held();
  if (errors != nullptr && errors->is_active)
    errors->flush_output();
  if (run_timed_out)
    throw new exception("Couldn't finish '" + shown_path() + "' - timed out after " +
                        int_to_decimal(time_limit) + " ms");
  if (!background) {
    refuse_cut_output(streams.saved_output != nullptr ? streams.saved_output : output_stream);
    refuse_cut_output(errors);
  }
}

}  // namespace pt
