// The status a parent reads, cut to the bits the platform passes on.
#include "support/exit_status.h"

#include "ortolib/platform/private/process.h"

namespace pt::test {

int visible_status(std::uint32_t code) { return static_cast<int>(code & pt::exit_status_mask); }

}  // namespace pt::test
