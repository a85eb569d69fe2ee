// The library's globals are built before, and taken down after, the static objects of any
// translation unit that includes their headers.
#include "ortolib/core/globals_order.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "ortolib/core/string.h"
#include "ortolib/core/variant.h"
#include "ortolib/streams/format_flags.h"

namespace pt {
namespace {

// Uses every global from its constructor, and again from its destructor at program end.
struct early_user {
  early_user() {
    string copy(empty_string);
    empty_was_ready = copy.length() == 0 && copy.text()[0] == '\0';
    null_was_ready = null_variant.tag == tag_none && variant_to_string(null_variant).length() == 0;
    flags_were_ready = charset_contains(format_flag_chars, '#') &&
                       !charset_contains(format_flag_chars, '*');
    variant list;
    array_add(list, variant("x"));
    arrays_worked = &array_item(list, 1) == &null_variant;
  }
  ~early_user() {
    if (!report_at_exit)
      return;
    string copy = empty_string + "globals";
    bool alive = null_variant.tag == tag_none && charset_contains(format_flag_chars, '9');
    std::fprintf(stderr, "%s %s at exit\n", copy.text(), alive ? "alive" : "gone");
  }

  bool empty_was_ready = false;
  bool null_was_ready = false;
  bool flags_were_ready = false;
  bool arrays_worked = false;
  bool report_at_exit = false;
};

early_user user;

TEST(Startup, GlobalsAreReadyForStaticConstructors) {
  EXPECT_TRUE(user.empty_was_ready);
  EXPECT_TRUE(user.null_was_ready);
  EXPECT_TRUE(user.flags_were_ready);
  EXPECT_TRUE(user.arrays_worked);
}

using StartupDeathTest = testing::Test;

TEST(StartupDeathTest, GlobalsOutliveStaticDestructors) {
  EXPECT_EXIT(
      {
        user.report_at_exit = true;
        std::exit(0);
      },
      testing::ExitedWithCode(0), "globals alive at exit");
}

}  // namespace
}  // namespace pt
