// Input streams over files and attached OS handles.
#include "ortolib/streams/infile.h"

#include "ortolib/platform/private/handle_io.h"

namespace pt {

infile::infile() : handle_stream(string(), -1) {}

infile::infile(const string& file_name) : handle_stream(file_name, -1) {}

std::int32_t infile::kind_code() { return kind_infile; }

void infile::device_open() {
  if (!open_given_handle())
    open_file(platform::file_access::read);
}

}  // namespace pt
