// Must not compile: an integer for "%s". The test that builds it expects the compiler's message
// to name the directive and the argument (its number and type).
#include "ortolib/streams/outmemory.h"

void format_a_number_as_a_text(pt::outmemory& out) { out.format("name: %s\n", 42); }
