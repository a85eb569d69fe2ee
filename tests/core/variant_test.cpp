// Variants and variant arrays: sharing, release, text, and the argument-list use.
#include "ortolib/core/variant.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "support/fatal_report.h"

namespace pt {
namespace {

std::string text_of(const variant& v) {
  string s = variant_to_string(v);
  return {s.text(), static_cast<std::size_t>(s.length())};
}

class counted : public component {
 public:
  explicit counted(int& deleted) : deleted(deleted) {}
  ~counted() override { ++deleted; }
  int& deleted;
};

TEST(Variant, Text) {
  EXPECT_EQ(text_of(variant()), "");
  EXPECT_EQ(text_of(variant(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(text_of(variant(42)), "42");
  EXPECT_EQ(text_of(variant(-7LL)), "-7");
  EXPECT_EQ(text_of(variant(0xFFFFFFFFu)), "4294967295");
  EXPECT_EQ(text_of(variant(true)), "1");
  EXPECT_EQ(text_of(variant(false)), "0");
  EXPECT_EQ(text_of(variant(0.5)), "0.5");
  EXPECT_EQ(text_of(variant(100.25)), "100.25");
  // Exponent form; the runtime decides how many exponent digits it writes.
  std::string large = text_of(variant(1234567.0));
  EXPECT_EQ(large.substr(0, 9), "1.23457e+");
  EXPECT_EQ(std::stoi(large.substr(9)), 6);
  EXPECT_EQ(text_of(variant(0.0001)), "0.0001");
  EXPECT_EQ(text_of(variant("arg")), "arg");
  EXPECT_EQ(text_of(variant(static_cast<component*>(nullptr))), "");

  variant nonzero_byte;
  nonzero_byte.tag = tag_boolean;
  nonzero_byte.boolean_value = 7;  // anything but 0 is true
  EXPECT_EQ(text_of(nonzero_byte), "1");

  string shared("shared text");
  variant holder(shared);
  EXPECT_EQ(variant_to_string(holder).text(), shared.text());
  EXPECT_EQ(shared.refcount(), 2);
}

TEST(Variant, CopiesShareAndClearReleases) {
  int deleted = 0;
  auto* object = new counted(deleted);
  {
    variant a(object);
    EXPECT_EQ(object->refcount, 1);
    variant b(a);
    variant c;
    c = b;
    EXPECT_EQ(object->refcount, 3);
    variant_clear(b);
    EXPECT_EQ(b.tag, tag_none);
    EXPECT_EQ(object->refcount, 2);
    variant moved(static_cast<variant&&>(c));
    EXPECT_EQ(c.tag, tag_none);
    EXPECT_EQ(object->refcount, 2);
  }
  EXPECT_EQ(deleted, 1);

  string s("text");
  variant v(s);
  variant_copy(v, variant(3.0));  // the destination's string is released
  EXPECT_EQ(s.refcount(), 1);
  EXPECT_EQ(text_of(v), "3");
  variant_copy(v, v);
  EXPECT_EQ(v.tag, tag_real);
}

TEST(Variant, ArgumentListRoundTrip) {
  variant list;
  const char* arguments[] = {"\"first\"", "\"second arg\"", "\"\""};
  for (std::int32_t i = 0; i < 3; ++i) {
    variant item(arguments[i]);
    EXPECT_EQ(array_add(list, item), i);
    variant_clear(item);
  }
  ASSERT_EQ(array_length(list), 3);
  for (std::int32_t i = 0; i < array_length(list); ++i)
    EXPECT_EQ(text_of(array_item(list, i)), arguments[i]);
  EXPECT_EQ(list.array_value->item(0)->key.length(), 0);
  EXPECT_EQ(list.array_value->list_flags, own_objects | 0x14u);
}

TEST(Variant, MissingItemsAreTheNullVariant) {
  variant list;
  array_add(list, variant(1));
  EXPECT_EQ(&array_item(list, -1), &null_variant);
  EXPECT_EQ(&array_item(list, 1), &null_variant);
  EXPECT_EQ(&array_item(variant("x"), 0), &null_variant);
  EXPECT_EQ(null_variant.tag, tag_none);
  EXPECT_EQ(text_of(array_item(list, 5)), "");
  EXPECT_EQ(array_length(variant("x")), 0);
}

TEST(Variant, AddingToANonArrayReplacesItsValue) {
  variant v(7);
  EXPECT_EQ(array_add(v, variant(8)), 0);
  EXPECT_EQ(v.tag, tag_array);
  EXPECT_EQ(array_length(v), 1);
  EXPECT_EQ(text_of(array_item(v, 0)), "8");

  variant self("old value");
  array_add(self, self);  // the old value becomes the first item
  EXPECT_EQ(text_of(array_item(self, 0)), "old value");
}

TEST(Variant, SharedArraysAreEmptiedForEveryHolder) {
  variant first;
  array_add(first, variant("a"));
  array_add(first, variant("b"));
  variant second(first);
  EXPECT_EQ(first.array_value->refcount, 2);
  array_make_empty(second);
  EXPECT_EQ(array_length(first), 0);
  EXPECT_EQ(second.array_value, first.array_value);
}

TEST(Variant, KeyedLastItemMakesUnnamedItemsGoFirst) {
  variant list;
  array_add(list, variant(1));
  list.array_value->item(0)->key = "named";
  EXPECT_EQ(array_add(list, variant(2)), 0);
  EXPECT_EQ(text_of(array_item(list, 0)), "2");
  EXPECT_EQ(text_of(array_item(list, 1)), "1");
}

TEST(Variant, DroppingTheLastHolderFreesItemsKeysAndValues) {
  int deleted = 0;
  string key_text("a key");
  string value_text("a value");
  {
    variant list;
    array_add(list, variant(new counted(deleted)));
    array_add(list, variant(value_text));
    list.array_value->item(0)->key = key_text;
    variant nested;
    array_add(nested, variant(new counted(deleted)));
    array_add(list, nested);
    EXPECT_EQ(value_text.refcount(), 2);
    EXPECT_EQ(key_text.refcount(), 2);
  }
  EXPECT_EQ(deleted, 2);
  EXPECT_EQ(value_text.refcount(), 1);
  EXPECT_EQ(key_text.refcount(), 1);
}

TEST(Variant, KeyComparison) {
  _varray array;
  auto* item = new _varitem{string("Key"), variant()};
  array.add(item);
  EXPECT_EQ(array.compare("Key", item), 0);
  EXPECT_EQ(array.compare("key", item), 1);  // byte-exact: 'k' > 'K'
  EXPECT_EQ(array.compare("Ke", item), -1);
  EXPECT_EQ(array.compare("\xe9", item), 1);  // unsigned bytes
  array.list_flags &= ~case_sensitive;
  EXPECT_EQ(array.compare("kEY", item), 0);
  EXPECT_EQ(array.compare("_", item), -1);  // letters fold to lower case, as _stricmp does
  EXPECT_EQ(array.compare("keyz", item), 1);
}

using VariantDeathTest = testing::Test;

TEST(VariantDeathTest, CorruptTags) {
  EXPECT_FATAL(
      {
        variant bad;
        bad.tag = 7;
        variant copy(bad);
      },
      fatal_variant_corrupt, "Variant data corrupt");
  EXPECT_FATAL(
      {
        variant bad;
        bad.tag = -1;
        variant_to_string(bad);
      },
      fatal_variant_corrupt, "Variant data corrupt");
  EXPECT_FATAL(
      {
        variant bad;
        bad.tag = 99;
        variant_clear(bad);
      },
      fatal_variant_corrupt, "Variant data corrupt");
}

static_assert(std::forward_iterator<variant_item_iterator<variant>>);

TEST(Variant, ARangeForOverAnArrayChangesItemsForEveryHolder) {
  variant list;
  array_add(list, variant(1));
  array_add(list, variant("two"));
  const variant shared = list;
  for (variant& item : array_items(list))
    item = variant(variant_to_string(item) + "!");
  std::vector<std::string> texts;
  for (const variant& item : array_items(shared))
    texts.push_back(text_of(item));
  EXPECT_EQ(texts, (std::vector<std::string>{"1!", "two!"}));
  // The range shares the array of a temporary variant; one without an array has no items.
  std::int32_t sum = 0;
  for (const variant& item : array_items(variant(list)))
    sum += item.tag;
  EXPECT_EQ(sum, 2 * tag_string);
  EXPECT_EQ(array_items(variant(5)).size(), 0);
  EXPECT_TRUE(array_items(variant()).begin() == array_items(variant()).end());
}

}  // namespace
}  // namespace pt
