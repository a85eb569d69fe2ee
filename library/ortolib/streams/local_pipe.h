// Anonymous pipes between an input and an output stream.
#pragma once

#include "ortolib/config.h"

namespace pt {

class infile;
class outfile;

// Joins input and output by a new anonymous pipe, whose ends no child inherits unless it is
// given one as a standard handle, and leaves both open: what is written to output can be read from
// input. Each stream is closed first, then owns the end it reads or writes and records the other in
// pipe_peer_handle (never closing it). Once every holder of the write end has closed it, input
// reads 0 bytes. Buffer sizes are left as they are. When the pipe cannot be created, raises
// "Couldn't create a local pipe" on input (which only records the error); neither stream is closed
// or opened then.
void make_local_pipe(infile& input, outfile& output);

}  // namespace pt
