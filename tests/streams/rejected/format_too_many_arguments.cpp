// Must not compile: an argument that no directive reads. The test that builds it expects the
// compiler's message to name it (its number and type).
#include "ortolib/streams/format_to_string.h"

pt::string format_with_an_argument_too_many() { return pt::format_to_string("%d\n", 1, 2.5); }
