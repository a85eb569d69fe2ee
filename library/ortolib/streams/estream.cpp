// The stream exception's out-of-line members, which anchor its table of virtual operations.
#include "ortolib/streams/estream.h"

namespace pt {

estream::estream(iobase* stream, std::int32_t number, const string& message)
    : exception(message), error_code(number), source_stream(stream) {}

estream::~estream() = default;

}  // namespace pt
