// Must warn under clang's -Wdangling-gsl, as for a std::string: a view of a temporary
// pt::string, whose characters go with it at the end of the statement.
#include <string_view>

#include "ortolib/core/string.h"

std::size_t length_of_a_dangling_view() {
  std::string_view view = pt::string("temporary");
  return view.size();
}
