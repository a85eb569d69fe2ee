// Must compile: literal formats whose directives match their arguments, every length modifier
// and every kind of text included, beside the mismatched ones of rejected/ that must not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ortolib/core/string.h"
#include "ortolib/streams/format_to_string.h"
#include "ortolib/streams/outmemory.h"

void format_matching_arguments(pt::outmemory& out, std::size_t items, std::intmax_t total) {
  out.format("%zu items, %jd in all, %hhd %hd %ld %lld %d\n", items, total, 1, 2, 3L, 4LL, 5u);
  out.format("%s %s %s %.2s %5s %c %p\n", pt::string("pt"), std::string("std"),
             std::string_view("view"), "text", "x", 'c', &items);
  out.format("%f %.1e %g %Lf %d%% %a %t %T\n", 1.5, 2.0f, 3, 4.0L, 99, 0x0100007F, 0, 0);
  out.format(pt::runtime_format(std::string("%d\n")), 7);  // checked as it is written
  const pt::string text = pt::format_to_string("%s=%x", "n", 255);
  out.format("%s\n", text);
}
