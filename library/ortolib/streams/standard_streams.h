// The four process-wide streams: std_input, std_output and std_error on duplicates of the
// process's standard handles, and null_output, which discards everything.
#pragma once

#include "ortolib/core/globals_order.h"
#include "ortolib/platform/types.h"
#include "ortolib/streams/infile.h"
#include "ortolib/streams/logfile.h"
#include "ortolib/streams/outnull.h"

namespace pt {

// Built, attached and opened at start-up (core/globals_order.h: before any static object of a
// translation unit that includes this header) and destroyed at program end in reverse order,
// which closes their handles. Each holds one permanent reference, so releasing the references
// that others took never deletes them. A standard handle that cannot be duplicated still
// gives an open stream; its first read or write raises 9 "Invalid file descriptor".
extern infile& std_input;    // 4096-byte buffer
extern logfile& std_output;  // unbuffered, formatted output serialised
extern logfile& std_error;   // unbuffered, formatted output serialised
extern outnull& null_output;

// A duplicate of the process's standard handle that no child inherits (a child given it as a
// standard handle gets it there, and only there), owned by the caller; on failure
// platform::unusable_handle, a value that every read and write rejects as an invalid handle
// (never descriptor 0, which is valid on POSIX).
platform::handle dup_std_handle(platform::std_handle_id which);

// Attaches duplicates of the standard input, output and error handles to the three streams,
// gives std_input its 4096-byte buffer, opens the four streams and takes their permanent
// references. Run once, by start_standard_streams.
void attach_std_streams();

// The start-up list's steps (globals/globals_list.cpp): build the four in order, then attach them;
// and destroy them in reverse order.
void start_standard_streams();
void stop_standard_streams();

}  // namespace pt
