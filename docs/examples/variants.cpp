// Variants: one tagged value (nothing, integer, boolean, real, string, array, counted
// component). An array variant holds a shared list of items; copies of the variant share it.
// Variant arrays and lists are ranges whose items a range-for can change in place.
#include <cstdint>

#include <ortolib/core/podlist.h>
#include <ortolib/core/string.h>
#include <ortolib/core/variant.h>

namespace example {

pt::variant make_settings() {
  pt::variant list;                             // tag_none
  pt::array_add(list, pt::variant("verbose"));  // the first add makes the array
  pt::array_add(list, pt::variant(42));
  pt::array_add(list, pt::variant(true));
  pt::array_add(list, pt::variant(0.5));
  return list;
}

pt::string join_items(const pt::variant& list, char separator) {
  pt::string text;
  for (std::int32_t i = 0; i < pt::array_length(list); ++i) {
    if (i > 0)
      text += separator;
    // 42 reads "42", true "1", 0.5 "0.5" (as %g), a string as itself.
    text += pt::variant_to_string(pt::array_item(list, i));
  }
  return text;
}

void mark_items(pt::variant& list) {
  // Each item changed in place: every copy of list sees the change.
  for (pt::variant& item : pt::array_items(list))
    item = pt::variant(pt::variant_to_string(item) + "!");
}

std::int64_t double_all(pt::tpodlist<std::int64_t>& numbers) {
  std::int64_t sum = 0;
  for (std::int64_t& number : numbers) {
    number *= 2;
    sum += number;
  }
  return sum;
}

}  // namespace example
