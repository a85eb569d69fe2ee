// Stand-in until the Windows backend's own start-up lands: Windows needs no preparation.
#include "platform/platform.h"

namespace pt::platform {

void process_startup() {}

}  // namespace pt::platform
