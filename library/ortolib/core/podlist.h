// Growable arrays of fixed-size plain items stored by value: the untyped _podlist and its
// typed view tpodlist. Storage comes from mem_realloc; misuse is fatal (0xC0024, 0xC0025).
#pragma once

#include <cstdint>
#include <type_traits>

#include "ortolib/core/noncopyable.h"

namespace pt {

class _podlist : public noncopyable {
 public:
  void* items = nullptr;      // the storage; null while capacity is 0
  std::int32_t count = 0;     // items in use
  std::int32_t capacity = 0;  // items the storage holds
  std::int32_t item_size;     // bytes per item, 1 to 255

  // An empty list without storage. An item size outside 1 to 255 is fatal 0xC0025.
  explicit _podlist(std::int32_t item_size);
  // Frees the storage (the items are plain bytes).
  ~_podlist();

  // Reallocates the storage to exactly n items (n = 0 frees it). n below count is fatal
  // 0xC0024; storage beyond what a 32-bit size can describe is fatal 0xC0005.
  void set_capacity(std::int32_t n);
  // Makes room for one more item: to 4 from empty, then by half, (capacity + 1) / 2 * 3.
  void grow();
  // Raises the count (to exactly n items of storage when the capacity is too small, without
  // the growth rule; new items zeroed when zero_fill is set) or lowers it (negative counts as
  // 0; the storage is freed when the count reaches 0).
  void set_count(std::int32_t n, bool zero_fill);
  // Opens a slot at index (0 to count, not checked) by moving the items from index up by one,
  // and returns its address; the caller stores the new item there.
  void* insert_slot(std::int32_t index);

  // The address of item i (not checked).
  void* item_address(std::int32_t i) const {
    return static_cast<char*>(items) + static_cast<std::intptr_t>(i) * item_size;
  }
};

// A typed view of _podlist for a plain item type T. With zero_fill set, items added by raising
// the count are zero bytes.
template <class T, bool zero_fill = false>
class tpodlist : public _podlist {
  static_assert(std::is_trivially_copyable_v<T>, "a podlist stores its items as plain bytes");

 public:
  tpodlist() : _podlist(static_cast<std::int32_t>(sizeof(T))) {}

  T& item(std::int32_t i) const { return static_cast<T*>(items)[i]; }
  T& operator[](std::int32_t i) const { return item(i); }

  // The items in index order, for a range-for and the standard algorithms; each can be
  // changed in place. Valid until the count or the capacity changes.
  T* begin() const { return static_cast<T*>(items); }
  T* end() const { return begin() + count; }

  void set_count(std::int32_t n) { _podlist::set_count(n, zero_fill); }

  // Inserts value at index (0 to count, not checked).
  void insert(std::int32_t index, const T& value) { *static_cast<T*>(insert_slot(index)) = value; }
  // Appends value and returns its index.
  std::int32_t add(const T& value) {
    insert(count, value);
    return count - 1;
  }
};

}  // namespace pt
