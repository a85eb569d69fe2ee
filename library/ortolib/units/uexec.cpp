// The process unit: the start of the child with its standard handles, the pipe substitutes
// for streams without an OS handle, the copy loop, and the wait for the exit code.
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
#include "ortolib/platform/private/error.h"
#include "ortolib/platform/private/handle_io.h"
#include "ortolib/platform/private/process.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/local_pipe.h"
#include "ortolib/streams/outfile.h"
#include "ortolib/streams/outmemory.h"
#include "ortolib/units/input_feeder.h"

namespace pt {
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

// Copies one read of the child's output on to destination. False at the end of the output.
bool collect_chunk(infile& collector, outstm& destination, char* buffer) {
  const std::int32_t got = collector.read_block(buffer, uexec::copy_chunk_size);
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
void feed_and_collect(run_streams& streams, const bool& background) {
  input_feeder feeding(*streams.saved_input, std::exchange(streams.feeder, nullptr));
  copy_buffer buffer;
  pending_exception failure;
  while (streams.collector != nullptr && !background) {
    std::int32_t got = 0;
    try {
      got = streams.collector->read_block(buffer.get(), uexec::copy_chunk_size);
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
void copy_data(run_streams& streams, const bool& background) {
  if (background)
    return;
  if (streams.feeder != nullptr && streams.collector != nullptr) {
    feed_and_collect(streams, background);
    return;
  }
  copy_buffer buffer;  // taken at its first use, kept for the rest of the loop
  while (streams.feeder != nullptr && !background) {
    if (!feed_chunk(*streams.saved_input, *streams.feeder, buffer.get(), uexec::copy_chunk_size))
      drop(streams.feeder);
  }
  while (streams.collector != nullptr && !background) {
    if (!collect_chunk(*streams.collector, *streams.saved_output, buffer.get()))
      drop(streams.collector);
  }
}

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
  if (process_handle != platform::no_handle)
    platform::process_close(process_handle);
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
  critsec_guard hold(child_lock);
  return child_live && platform::process_kill(process_handle);
}

void uexec::start_child(platform::handle& child_thread, platform::handle& stand_in_tie) {
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
  request.stand_in = stand_in && !background;
  platform::process_info started;
  if (arguments_overflow || !platform::process_start(request, started)) {
    const platform::os_error error = arguments_overflow ? platform::command_line_too_long
                                                        : platform::last_error();
    throw new exception("Couldn't run '" + shown_path() + "' error " + uint32_to_decimal(error));
  }
  child_thread = started.thread;
  stand_in_tie = started.stand_in;
  critsec_guard hold(child_lock);
  process_handle = started.process;
  process_id = static_cast<std::int32_t>(started.process_id);
  child_live = true;
}

void uexec::wait_for_child() {
  // Ended first, reaped after: until the child is known to have ended terminate_child may
  // still end it, and once it is reaped its id may belong to another process.
  platform::process_wait_end(process_handle);
  platform::handle ended = platform::no_handle;
  {
    critsec_guard hold(child_lock);
    child_live = false;
    ended = std::exchange(process_handle, platform::no_handle);
    process_id = -1;
  }
  std::uint32_t code = 0;
  if (platform::process_wait(ended, code) && code != exit_code_still_active)
    exit_code = static_cast<std::int32_t>(code);
  platform::process_close(ended);
}

void uexec::work() {
  if (process_handle != platform::no_handle)
    return;  // a child started in background mode is still held
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
  // From here on the child holds the only write end of its output pipe, so the collector
  // sees the end of data once the child and everything that inherited the end have closed it.
  if (close_output)
    output_stream->close_stream();
  if (close_input)
    input_stream->close_stream();

  copy_data(streams, background);
  if (!background) {
    wait_for_child();
    refuse_cut_output(streams.saved_output != nullptr ? streams.saved_output : output_stream);
  }
  // streams puts the saved streams back and closes the pipe ends as it goes; child_thread
  // releases the thread handle.
}

}  // namespace pt
