// Windows: no terminal a test can type at (a console cannot be driven so under wine).
#include "support/terminal.h"

namespace pt::test {

test_terminal::~test_terminal() = default;

bool test_terminal::start(const platform::process_request&, platform::process_info&) {
  return false;
}

void test_terminal::type(std::string_view) {}

}  // namespace pt::test
