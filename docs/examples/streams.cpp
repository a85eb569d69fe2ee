// Streams: a file written and read back, a pipe between two streams, output collected in
// memory, and a stream error reported on std_error. Streams are counted components; these
// live on the stack, so nothing releases them and their destructors close them.
#include "streams.h"

#include <ortolib/core/exception.h>
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
  pt::outfile file(path);  // created, or emptied when it exists
  file.open_stream();
  file.write_text(text);
  // close_stream (here: the destructor) never throws, so a failed last write would go
  // unnoticed there: flush first, which throws.
  file.flush_output();
}

pt::string load_text(const char* path) {
  pt::infile file(path);
  pt::outmemory memory;  // no size limit
  try {
    memory.open_stream();
    file.open_stream();
    copy_stream(file, memory);
    return memory.collected_text();  // before the close, which empties the stream
  } catch (pt::exception* error) {
    // The message ends in the stream's name: "No such file or directory [<path>]".
    pt::std_error.format("cannot read: %s\n", error->get_message().text());
    delete error;
    return pt::string();
  }
}

pt::string through_pipe(const char* text) {
  pt::infile reader;
  pt::outfile writer;
  // Unbuffered: every write reaches the pipe at once, and closing does not wait in the OS
  // for the reader, which is this same thread.
  writer.set_buffer_size(0);
  pt::make_local_pipe(reader, writer);  // both open now
  writer.write_text(text);
  writer.close_stream();  // the reader sees the end of the data once it has read the text

  pt::outmemory memory;
  memory.open_stream();
  copy_stream(reader, memory);
  return memory.collected_text();
}

}  // namespace example
