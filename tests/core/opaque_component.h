// A component that the ref tests hold without its definition: only opaque_component.cpp
// sees the class, as only a pimpl's source file sees its implementation.
#pragma once

#include <cstdint>

#include "ortolib/core/ref.h"

namespace pt::test {

class opaque_component;

struct opaque_holder {
  ref<opaque_component> object;
};

// A holder of a new opaque_component that counts its deletion in *deleted.
opaque_holder make_opaque_holder(int* deleted, int value);
int opaque_value(const opaque_holder& holder);
std::int32_t opaque_count(const opaque_holder& holder);

}  // namespace pt::test
