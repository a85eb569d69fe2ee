// Reference counting of components and their destruction with deletion notices.
#include "ortolib/core/component.h"

#include "ortolib/core/objlist.h"

namespace pt {

unknown::~unknown() = default;

component::~component() {
  if (deletion_receivers != nullptr) {
    // The count is read again at each step: a receiver may change the list it is told from.
    for (std::int32_t i = 0; i < deletion_receivers->count; ++i)
      static_cast<component*>(deletion_receivers->item(i))->deletion_notice(this);
    delete deletion_receivers;
    deletion_receivers = nullptr;
  }
}

void component::deletion_notice(component*) {}

std::int32_t component::kind_code() { return kind_component; }

void component::before_last_release() {}

component* addref(component* object) {
  if (object != nullptr)
    atomic_increment(&object->refcount);
  return object;
}

bool release(component* object) {
  if (object == nullptr)
    return true;
  if (atomic_decrement(&object->refcount) != 0)
    return false;
  object->before_last_release();
  delete object;
  return true;
}

}  // namespace pt
