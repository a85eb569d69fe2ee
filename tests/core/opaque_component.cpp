// The component the ref tests hold without its definition (opaque_component.h).
#include "opaque_component.h"

namespace pt::test {

class opaque_component : public component {
 public:
  opaque_component(int* deleted, int value) : deleted(deleted), value(value) {}
  ~opaque_component() override { ++*deleted; }
  int* deleted;
  int value;
};

opaque_holder make_opaque_holder(int* deleted, int value) {
  return {make_ref<opaque_component>(deleted, value)};
}

int opaque_value(const opaque_holder& holder) { return holder.object->value; }

std::int32_t opaque_count(const opaque_holder& holder) { return holder.object->refcount; }

}  // namespace pt::test
