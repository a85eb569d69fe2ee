// Windows backend: process-wide start-up settings; Windows needs none (a write to a pipe
// without a reader already fails with ERROR_BROKEN_PIPE).
#include "ortolib/platform/private/process_settings.h"

namespace pt::platform {

void process_settings_apply() {}

}  // namespace pt::platform
