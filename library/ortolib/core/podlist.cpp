// Storage management of _podlist: the growth rule and the count and capacity changes.
#include "ortolib/core/podlist.h"

#include <cstring>

#include "ortolib/core/fatal.h"
#include "ortolib/core/memory.h"

namespace pt {

_podlist::_podlist(std::int32_t item_size) : item_size(item_size) {
  if (item_size < 1 || item_size > 255)
    fatal_error(fatal::list_item_size);
}

_podlist::~_podlist() {
  set_count(0, false);
  // A capacity set on an empty list survives set_count(0); it is given back here as well.
  set_capacity(0);
}

void _podlist::set_capacity(std::int32_t n) {
  if (n == capacity)
    return;
  if (n < count)
    fatal_error(fatal::list_capacity);
  // The byte size must fit the allocator's 32-bit size; a larger list cannot exist.
  std::int64_t bytes = static_cast<std::int64_t>(n) * item_size;
  if (bytes > static_cast<std::int64_t>(UINT32_MAX))
    fatal_error(fatal::out_of_memory);
  items = mem_realloc(items, static_cast<std::uint32_t>(bytes));
  capacity = n;
}

void _podlist::grow() {
  if (capacity > count)
    return;
  if (capacity == 0) {
    set_capacity(4);
    return;
  }
  std::int64_t grown = (static_cast<std::int64_t>(capacity) + 1) / 2 * 3;
  if (grown > INT32_MAX)  // no room for another item: counts are 32-bit
    fatal_error(fatal::out_of_memory);
  set_capacity(static_cast<std::int32_t>(grown));
}

void _podlist::set_count(std::int32_t n, bool zero_fill) {
  if (n > count) {
    if (n > capacity)
      set_capacity(n);
    if (zero_fill)
      std::memset(item_address(count), 0, static_cast<std::size_t>(n - count) * item_size);
    count = n;
  } else if (n < count) {
    count = n < 0 ? 0 : n;
    if (count == 0)
      set_capacity(0);
  }
}

void* _podlist::insert_slot(std::int32_t index) {
  grow();
  std::memmove(item_address(index + 1), item_address(index),
               static_cast<std::size_t>(count - index) * item_size);
  ++count;
  return item_address(index);
}

}  // namespace pt
