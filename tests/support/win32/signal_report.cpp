// Windows: no signals to report.
#include "support/signal_report.h"

namespace pt::test {

std::string signal_report() { return ""; }

}  // namespace pt::test
