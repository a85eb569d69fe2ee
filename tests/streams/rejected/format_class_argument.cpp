// Must not compile: a class the formatting engine cannot print, passed to format as its second
// argument. The test that builds it expects the compiler's message to name that argument.
#include <vector>

#include "ortolib/streams/outmemory.h"

void format_a_vector(pt::outmemory& out) {
  std::vector<int> numbers{1, 2};
  out.format("%d %s\n", 1, numbers);
}
