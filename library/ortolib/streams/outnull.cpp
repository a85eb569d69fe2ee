// Output that is discarded.
#include "ortolib/streams/outnull.h"

namespace pt {

outnull::outnull() : outstm(false, -1) {}

outnull::~outnull() { close_stream(); }

std::int32_t outnull::kind_code() { return kind_outnull; }

void outnull::device_open() {}

void outnull::device_close() {}

string outnull::stream_name() { return "<null>"; }

std::int32_t outnull::device_write(const void*, std::int32_t) { return 0; }

}  // namespace pt
