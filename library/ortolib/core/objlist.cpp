// Dropping and freeing the items of object lists.
#include "ortolib/core/objlist.h"

#include "ortolib/core/fatal.h"

namespace pt {

_objlist::_objlist(bool own_objects_flag) {
  if (own_objects_flag)
    list_flags |= own_objects;
}

_objlist::~_objlist() = default;  // the _podlist part frees the storage

void _objlist::set_count(std::int32_t n) {
  if (n < count && (list_flags & own_objects) != 0) {
    std::int32_t first = n < 0 ? 0 : n;
    free_range(first, count - first);
  }
  _podlist::set_count(n, true);
}

void _objlist::free_range(std::int32_t index, std::int32_t n) {
  for (std::int32_t i = index; i < index + n; ++i)
    dofree(item(i));
}

void _objlist::dofree(void*) { fatal_error(fatal::list_dofree); }

std::int32_t _objlist::compare(const void*, const void*) { fatal_error(fatal::list_compare); }

}  // namespace pt
