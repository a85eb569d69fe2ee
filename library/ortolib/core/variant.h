// Tagged values (nothing, integer, boolean, real, string, shared array, counted component) and
// the shared arrays of keyed variants they can hold. A tag outside the seven is fatal
// ("Variant data corrupt", 0xC003C).
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "ortolib/core/component.h"
#include "ortolib/core/globals_order.h"
#include "ortolib/core/objlist.h"
#include "ortolib/core/string.h"

namespace pt {

class _varray;

inline constexpr std::int32_t tag_none = 0;
inline constexpr std::int32_t tag_integer = 1;
inline constexpr std::int32_t tag_boolean = 2;  // one byte: 0 false, anything else true
inline constexpr std::int32_t tag_real = 3;
inline constexpr std::int32_t tag_string = 4;  // holds one string reference
inline constexpr std::int32_t tag_array = 5;   // holds one count of the array's refcount
inline constexpr std::int32_t tag_object = 6;  // holds one component reference (or null)

// A tag and an 8-byte value read according to it. Copies share strings, arrays and objects;
// the destructor releases what the tag holds (variant_clear).
class variant {
 public:
  std::int32_t tag = tag_none;
  union {
    std::int64_t integer_value;
    std::uint8_t boolean_value;
    double real_value;
    string string_value;
    _varray* array_value;
    component* object_value;
  };

  variant() : integer_value(0) {}
  explicit variant(const char* text);    // tag_string, a copy of the text
  explicit variant(const string& text);  // tag_string, sharing the string
  explicit variant(std::int64_t value);  // tag_integer
  // Any other integer type, as tag_integer. (clang-format 14 mangles a requires clause.)
  // clang-format off
  template <std::integral I>
    requires(!std::same_as<I, bool> && !std::same_as<I, std::int64_t>)
  explicit variant(I value) : variant(static_cast<std::int64_t>(value)) {}
  // clang-format on
  explicit variant(bool value);              // tag_boolean
  explicit variant(double value);            // tag_real
  explicit variant(component* object);       // tag_object, one reference taken (null allowed)
  variant(const variant& other);             // variant_copy
  variant(variant&& other) noexcept;         // takes other's value; other becomes tag_none
  variant& operator=(const variant& other);  // variant_copy
  variant& operator=(variant&& other) noexcept;
  ~variant();  // variant_clear
};

static_assert(sizeof(variant) == 16, "a tag and an 8-byte value");

// One entry of a variant array.
struct _varitem {
  string key;
  variant value;
};

// A shared, owning list of _varitem entries, counted by the variants that hold it and deleted
// by the variant_clear that brings refcount to 0.
class _varray : public tobjlist<_varitem> {
 public:
  std::int32_t refcount = 0;  // variants holding this array; changed only atomically

  _varray();
  ~_varray() override;

  // Clears the item's value and key and deletes it.
  void dofree(void* item) override;
  // Orders a key text against the item's key: byte-exact (unsigned) when case_sensitive is
  // set, otherwise with ASCII letters compared without regard to case. -1, 0 or 1.
  std::int32_t compare(const void* key, const void* item) override;
};

// The destination takes the source's tag and value, sharing what it holds; what the destination
// held before is released. A source tag outside 0 to 6 is fatal.
void variant_copy(variant& destination, const variant& source);

// Releases what the tag holds (the array is deleted with its last holder) and sets tag_none.
// A tag above 6 is fatal.
void variant_clear(variant& v);

// The value as text: integer in decimal, boolean "1" or "0", real as "%g", the string itself
// (shared); empty for nothing, arrays and objects. A corrupt tag is fatal.
string variant_to_string(const variant& v);

// Items of the array held by v; 0 when v holds no array.
std::int32_t array_length(const variant& v);

// The value of item index of the array held by v, valid while the array keeps the item; the
// empty null_variant when v holds no array or index is outside it (negative included).
const variant& array_item(const variant& v, std::int32_t index);

// Empties the array v holds, in place (every variant sharing it sees it empty); otherwise
// replaces v's value by a new empty array.
void array_make_empty(variant& v);

// Adds value as an unnamed item to the array v holds, first replacing whatever else v holds by
// a new array. Returns the item's index.
std::int32_t array_add(variant& v, const variant& value);

// Inserts a copy of value with an empty key: at the end when the array is empty or its last
// item's key is empty, otherwise at 0. Returns the index.
std::int32_t add_unnamed(_varray* array, const variant& value);

// Walks the items of a variant array, giving each item's value; Value is variant, or const
// variant for a read-only walk.
template <class Value>
class variant_item_iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = variant;
  using difference_type = std::ptrdiff_t;
  using pointer = Value*;
  using reference = Value&;

  variant_item_iterator() = default;
  explicit variant_item_iterator(object_iterator<_varitem> item) : at(item) {}

  Value& operator*() const { return (*at)->value; }
  Value* operator->() const { return &(*at)->value; }
  variant_item_iterator& operator++() {
    ++at;
    return *this;
  }
  // NOLINTNEXTLINE(cert-dcl21-cpp): a const copy would not be a standard forward iterator
  variant_item_iterator operator++(int) {
    variant_item_iterator before = *this;
    ++at;
    return before;
  }
  friend bool operator==(const variant_item_iterator&, const variant_item_iterator&) = default;

 private:
  object_iterator<_varitem> at;
};

// The values of the items of the array a variant holds, in index order, for a range-for; none
// when it holds no array. Through a non-const variant each value can be changed in place, and
// every variant that shares the array sees the change:
//
//   for (pt::variant& item : pt::array_items(list))
//     item = pt::variant(pt::variant_to_string(item) + "!");
//
// The range shares the array, so the array lives as long as the range, also when the variant
// was a temporary. Adding items or emptying the array during the walk is not allowed.
template <class Value>
class variant_items {
 public:
  explicit variant_items(const variant& holder) : list(holder) {}

  variant_item_iterator<Value> begin() const {
    return variant_item_iterator<Value>(holds_array() ? list.array_value->begin()
                                                      : object_iterator<_varitem>());
  }
  variant_item_iterator<Value> end() const {
    return variant_item_iterator<Value>(holds_array() ? list.array_value->end()
                                                      : object_iterator<_varitem>());
  }
  std::int32_t size() const { return array_length(list); }

 private:
  variant list;  // a copy that shares the array

  bool holds_array() const { return list.tag == tag_array; }
};

inline variant_items<variant> array_items(variant& v) { return variant_items<variant>(v); }
inline variant_items<const variant> array_items(const variant& v) {
  return variant_items<const variant>(v);
}

// The variant with tag_none that array_item gives for a missing item; built at start-up.
extern variant& null_variant;

}  // namespace pt
