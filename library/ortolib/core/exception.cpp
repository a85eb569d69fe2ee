// The library exception's out-of-line members, which anchor its table of virtual operations.
#include "ortolib/core/exception.h"

namespace pt {

exception::~exception() = default;

string exception::get_message() { return message; }

}  // namespace pt
