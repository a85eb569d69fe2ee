// Must not compile: two directives and one argument. The test that builds it expects the
// compiler's message to name the directive left without an argument and that argument's number.
#include "ortolib/streams/outmemory.h"

void format_without_enough_arguments(pt::outmemory& out) { out.format("%d of %u\n", 1); }
