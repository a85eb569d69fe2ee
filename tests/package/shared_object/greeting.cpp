// A shared object built on the installed static library: the package tests link it with
// pkg-config's flags, which fails unless the library is position-independent, and call it from
// a program (main.cpp) that knows nothing of ortolib.
#include <cstddef>
#include <string>
#include <string_view>

#include <ortolib/core/string.h>
#include <ortolib/streams/format_to_string.h>
#include <ortolib/streams/outmemory.h>

// Exported for the program: "<name> has <count> items" through the library's formatting, then
// the same through a memory stream, which opens the library's standard streams on the way.
std::string greeting(const char* name, std::size_t count) {
  const pt::string first = pt::format_to_string("%s has %zu items", name, count);
  pt::outmemory memory;
  pt::addref(&memory);  // on the stack: its own reference keeps every release from deleting it
  memory.open_stream();
  memory.format("%s", first);
  return std::string(std::string_view(memory.collected_text()));
}
