// Anonymous pipes between an input and an output stream.
#include "ortolib/streams/local_pipe.h"

#include "ortolib/platform/private/pipe.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/outfile.h"

namespace pt {

void make_local_pipe(infile& input, outfile& output) {
  platform::handle read_end, write_end;
  if (!platform::pipe_create(read_end, write_end))
    input.raise_stream_error(input.last_os_error(), "Couldn't create a local pipe");
  input.attach_handle(read_end);
  input.pipe_peer_handle = write_end;
  output.attach_handle(write_end);
  output.pipe_peer_handle = read_end;
  input.open_stream();
  output.open_stream();
}

}  // namespace pt
