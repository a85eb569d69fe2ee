// A program built against an installed ortolib: it prints the library's version, a few strings
// and number texts, a checked format, an argument quoted for a command line, then its own
// arguments, one per line, for the package tests to compare.
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include <ortolib/core/number_text.h>
#include <ortolib/core/string.h>
#include <ortolib/platform/command_line.h>
#include <ortolib/streams/format_to_string.h>
#include <ortolib/version.h>

int main(int argc, char** argv) {
  pt::string line = "ortolib ";
  line += pt::version();
  std::printf("%s\n", line.text());

  // A copy shares the block until it is changed; the original must not see the change.
  pt::string numbers = pt::int_to_decimal(-9007199254740993);
  pt::string copy = numbers;
  copy += ' ';
  copy += pt::uint32_to_decimal(4294967295u);
  copy += ' ';
  copy += pt::int_to_string(255, 16, 6, '0');
  std::printf("%s|%s\n", numbers.text(), copy.text());

  // Checked formatting: each integer at its own width, whatever the modifier; any kind of text.
  const std::size_t items = 3;
  const pt::string formatted = pt::format_to_string("%zu items of %ld bytes: %s, %s", items,
                                                    5000000000LL, std::string("std"),
                                                    std::string_view("view"));
  std::printf("%s\n", formatted.c_str());

  std::printf("%s\n", pt::quote_argument(R"(say "hi" C:\dir\)").c_str());

  for (int i = 1; i < argc; ++i)
    std::printf("argument %d: %s\n", i, argv[i]);
  return 0;
}
