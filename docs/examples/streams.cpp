// Streams: a file written and read back, a file's lines counted, a pipe between two streams,
// output collected in memory, and stream errors caught and reported. Streams are counted
// components: made with new and held by pt::ref, which releases them on every path, the
// thrown ones included; the last release closes and deletes them.
#include <cstdint>

#include <ortolib/core/exception.h>
#include <ortolib/core/ref.h>
#include <ortolib/core/string.h>
#include <ortolib/streams/infile.h>
#include <ortolib/streams/local_pipe.h>
#include <ortolib/streams/outfile.h>
#include <ortolib/streams/outmemory.h>
#include <ortolib/streams/standard_streams.h>

namespace example {

void copy_stream(pt::instm& from, pt::outstm& to) {
  char block[4096];
  for (std::int32_t got; (got = from.read_block(block, sizeof block)) > 0;)
    to.write_block(block, got);
}

void save_text(const char* path, const char* text) {
  pt::ref file = pt::make_ref<pt::outfile>(path);  // created, or emptied when it exists
  file->open_stream();
  file->write_text(text);
  // close_stream (here: the last release) never throws, so a failed last write would go
  // unnoticed there: flush first, which throws.
  file->flush_output();
}

pt::string load_text(const char* path) {
  pt::ref file = pt::make_ref<pt::infile>(path);
  pt::ref memory = pt::make_ref<pt::outmemory>();  // no size limit
  try {
    memory->open_stream();
    file->open_stream();
    copy_stream(*file, *memory);
    return memory->collected_text();  // before the close, which empties the stream
  } catch (pt::exception* thrown) {
    pt::caught error(thrown);  // deleted at the end of the handler
    // The message ends in the stream's name: "No such file or directory [<path>]".
    pt::std_error.format("cannot read: %s\n", error.message());
    return pt::string();
  }
}

std::int32_t count_lines(const char* path) {
  try {
    pt::ref file = pt::make_ref<pt::infile>(path);
    file->open_stream();
    std::int32_t lines = 0;
    pt::string line;
    while (file->read_line(line))  // LF or CR LF ends a line; a last one without counts too
      ++lines;
    return lines;
  } catch (pt::exception* thrown) {
    pt::caught error(thrown);
    pt::std_error.format("%s: %s\n", path, error.message());
    return -1;
  }
}

pt::string through_pipe(const char* text) {
  pt::ref reader = pt::make_ref<pt::infile>();
  pt::ref writer = pt::make_ref<pt::outfile>();
  // Unbuffered: every write reaches the pipe at once, and closing does not wait in the OS
  // for the reader, which is this same thread.
  writer->set_buffer_size(0);
  pt::make_local_pipe(*reader, *writer);  // both open now
  writer->write_text(text);
  writer->close_stream();  // the reader sees the end of the data once it has read the text

  pt::ref memory = pt::make_ref<pt::outmemory>();
  memory->open_stream();
  copy_stream(*reader, *memory);
  return memory->collected_text();
}

}  // namespace example
