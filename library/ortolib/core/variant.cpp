// Variant values, their copying and release, their text, and the shared variant arrays.
#include "ortolib/core/variant.h"

#include <new>

#include "ortolib/core/atomic.h"
#include "ortolib/core/fatal.h"
#include "ortolib/core/number_text.h"
#include "ortolib/platform/private/format.h"

namespace pt {

namespace {

[[noreturn]] void variant_corrupt() { fatal_error(fatal::variant_corrupt); }

void check_tag(const variant& v) {
  if (v.tag < tag_none || v.tag > tag_object)
    variant_corrupt();
}

// Copies source's tag and value into destination, whose own value has been released or never
// existed, taking the references the value needs.
void share_value(variant& destination, const variant& source) {
  switch (source.tag) {
    case tag_string:
      ::new (static_cast<void*>(&destination.string_value)) string(source.string_value);
      break;
    case tag_array:
      atomic_increment(&source.array_value->refcount);
      destination.array_value = source.array_value;
      break;
    case tag_object: destination.object_value = addref(source.object_value); break;
    default:  // plain bits
      destination.integer_value = source.integer_value;
      break;
  }
  destination.tag = source.tag;
}

// Moves source's tag and value into destination, which holds nothing; source is left with
// tag_none. The references travel with the value.
void move_value(variant& destination, variant& source) {
  if (source.tag == tag_string) {
    ::new (static_cast<void*>(&destination.string_value))
        string(static_cast<string&&>(source.string_value));
    source.string_value.~string();
  } else {
    destination.integer_value = source.integer_value;
  }
  destination.tag = source.tag;
  source.tag = tag_none;
  source.integer_value = 0;
}

}  // namespace

// ----------------------------------------------------------------- variant

variant::variant(const char* text) : tag(tag_string) { ::new (&string_value) string(text); }
variant::variant(const string& text) : tag(tag_string) { ::new (&string_value) string(text); }
variant::variant(std::int64_t value) : tag(tag_integer), integer_value(value) {}
variant::variant(bool value) : tag(tag_boolean), integer_value(0) { boolean_value = value ? 1 : 0; }
variant::variant(double value) : tag(tag_real), real_value(value) {}
variant::variant(component* object) : tag(tag_object), object_value(addref(object)) {}

variant::variant(const variant& other) : integer_value(0) {
  check_tag(other);
  share_value(*this, other);
}

variant::variant(variant&& other) noexcept : integer_value(0) { move_value(*this, other); }

// NOLINTNEXTLINE(cert-oop54-cpp): variant_copy returns at once for the same variant
variant& variant::operator=(const variant& other) {
  variant_copy(*this, other);
  return *this;
}

variant& variant::operator=(variant&& other) noexcept {
  if (this != &other) {
    variant taken(static_cast<variant&&>(other));
    variant_clear(*this);
    move_value(*this, taken);
  }
  return *this;
}

variant::~variant() { variant_clear(*this); }

void variant_copy(variant& destination, const variant& source) {
  if (&destination == &source)
    return;
  check_tag(source);
  // The source is copied before the destination lets go of its value: the source may be
  // reachable only through it (an item of an array the destination holds).
  variant copy(source);
  variant_clear(destination);
  move_value(destination, copy);
}

void variant_clear(variant& v) {
  // The variant is emptied before the value is released: releasing may run destructors that
  // reach this variant again.
  switch (v.tag) {
    case tag_string: {
      string dropped(static_cast<string&&>(v.string_value));
      v.string_value.~string();
      v.tag = tag_none;
      v.integer_value = 0;
      return;
    }
    case tag_array: {
      _varray* array = v.array_value;
      v.tag = tag_none;
      v.integer_value = 0;
      if (atomic_decrement(&array->refcount) == 0)
        delete array;
      return;
    }
    case tag_object: {
      component* object = v.object_value;
      v.tag = tag_none;
      v.integer_value = 0;
      release(object);
      return;
    }
    default:
      if (v.tag > tag_object)
        variant_corrupt();
      v.tag = tag_none;
      v.integer_value = 0;
      return;
  }
}

string variant_to_string(const variant& v) {
  switch (v.tag) {
    case tag_none:
    case tag_array:
    case tag_object: return string();
    case tag_integer: return int_to_decimal(v.integer_value);
    case tag_boolean: return string(v.boolean_value != 0 ? '1' : '0');
    case tag_real: {
      char text[64];
      int length = platform::format_bounded(text, sizeof text, "%g", v.real_value);
      return length > 0 ? string(text, length) : string();
    }
    case tag_string: return v.string_value;
    default: variant_corrupt();
  }
}

// ------------------------------------------------------------------ arrays

_varray::_varray() : tobjlist<_varitem>(true) { list_flags |= 0x14; }

_varray::~_varray() {
  // The items go while this class's dofree is still the one in force.
  set_count(0);
}

void _varray::dofree(void* item) {
  auto* entry = static_cast<_varitem*>(item);
  variant_clear(entry->value);
  entry->key.clear();
  delete entry;
}

std::int32_t _varray::compare(const void* key, const void* item) {
  const auto* left = static_cast<const unsigned char*>(key);
  const auto* right =
      reinterpret_cast<const unsigned char*>(static_cast<const _varitem*>(item)->key.text());
  const bool exact = (list_flags & case_sensitive) != 0;
  for (;; ++left, ++right) {
    int a = *left;
    int b = *right;
    if (!exact) {
      if (a >= 'A' && a <= 'Z')
        a += 'a' - 'A';
      if (b >= 'A' && b <= 'Z')
        b += 'a' - 'A';
    }
    if (a != b)
      return a < b ? -1 : 1;
    if (a == 0)
      return 0;
  }
}

std::int32_t array_length(const variant& v) {
  return v.tag == tag_array ? v.array_value->count : 0;
}

const variant& array_item(const variant& v, std::int32_t index) {
  if (v.tag != tag_array ||
      static_cast<std::uint32_t>(index) >= static_cast<std::uint32_t>(v.array_value->count))
    return null_variant;
  return v.array_value->item(index)->value;
}

void array_make_empty(variant& v) {
  if (v.tag == tag_array) {
    v.array_value->set_count(0);
    return;
  }
  variant_clear(v);
  auto* array = new _varray;
  atomic_increment(&array->refcount);
  v.array_value = array;
  v.tag = tag_array;
}

std::int32_t array_add(variant& v, const variant& value) {
  if (v.tag != tag_array) {
    // The value may be v itself, whose old content is dropped by array_make_empty.
    variant kept(value);  // NOLINT(performance-unnecessary-copy-initialization): see above
    array_make_empty(v);
    return add_unnamed(v.array_value, kept);
  }
  return add_unnamed(v.array_value, value);
}

std::int32_t add_unnamed(_varray* array, const variant& value) {
  std::int32_t count = array->count;
  std::int32_t index = count == 0 || array->item(count - 1)->key.length() == 0 ? count : 0;
  auto* entry = new _varitem{empty_string, value};
  array->insert(index, entry);
  return index;
}

}  // namespace pt
