// Must not compile: a text for "%d". The test that builds it expects the compiler's message to
// name the directive and the argument (its number and type).
#include "ortolib/streams/outmemory.h"

void format_a_text_as_a_number(pt::outmemory& out) { out.format("%d items\n", "many"); }
