// The exception of the streams: the library exception with a stream error number and the
// stream that raised it.
#pragma once

#include <cstdint>

#include "ortolib/core/exception.h"

namespace pt {

class iobase;

// Allocated with new and thrown as a pointer by iobase::raise_stream_error; whoever catches
// it (as estream* or exception*) owns it and deletes it. The message is the composed one:
// the error's text or its raiser's words, then " [" stream name "]" when the stream has a name.
class estream : public exception {
 public:
  std::int32_t error_code;  // stream error number (stream_errors.h)
  // Not counted: valid only while the catcher knows the stream to be alive.
  iobase* source_stream;

  estream(iobase* stream, std::int32_t number, const string& message);
  ~estream() override;
};

}  // namespace pt
