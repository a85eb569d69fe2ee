// Output collected in a string.
#include "ortolib/streams/outmemory.h"

#include <cstring>

#include "ortolib/core/fatal.h"

namespace pt {

outmemory::outmemory(std::int32_t size_limit) : outstm(false, 0), size_limit(size_limit) {}

outmemory::~outmemory() { close_stream(); }

std::int32_t outmemory::kind_code() { return kind_outmemory; }

string outmemory::collected_text() {
  if (!is_active)
    raise_inactive();
  return text;
}

void outmemory::device_open() { dropped = 0; }

void outmemory::device_close() { text.clear(); }

std::int64_t outmemory::device_seek(std::int64_t offset, std::int32_t origin) {
  std::int64_t base = origin == 0 ? 0 : origin == 1 ? position : text.length();
  std::int64_t target = offset + base;
  if (size_limit >= 0 && target > size_limit)
    target = size_limit;
  return target;
}

string outmemory::stream_name() { return "mem"; }

std::int32_t outmemory::device_write(const void* source, std::int32_t count) {
  if (count <= 0)
    return 0;
  if (size_limit >= 0 && position + count > size_limit) {
    const std::int64_t room = size_limit - position > 0 ? size_limit - position : 0;
    dropped += count - room;
    if (room == 0)
      return 0;
    count = static_cast<std::int32_t>(room);
  }
  // Both ways leave the storage unshared, so earlier copies of the text keep their content.
  std::int64_t end = position + count;
  if (end > max_string_length)
    fatal_error(fatal::string_overflow);  // what the string itself reports
  char* chars = end > text.length() ? text.set_length(static_cast<std::int32_t>(end))
                                    : text.make_unique();
  std::memcpy(chars + position, source, static_cast<std::size_t>(count));
  return count;
}

}  // namespace pt
