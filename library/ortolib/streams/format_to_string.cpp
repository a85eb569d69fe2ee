// Formatted output into a string, through a memory stream of its own.
#include "ortolib/streams/format_to_string.h"

#include "ortolib/streams/format.h"
#include "ortolib/streams/outmemory.h"

namespace pt {

string format_to_string_from(const char* format, const format_arg* arguments, std::int32_t count) {
  outmemory memory;
  // The stream lives on this stack frame: its owner's reference keeps every release from
  // deleting it.
  addref(&memory);
  memory.open_stream();
  write_formatted(memory, format, arguments, count);
  // Shares the block with the stream's text, which its close (the destructor) lets go of.
  return memory.collected_text();
}

}  // namespace pt
