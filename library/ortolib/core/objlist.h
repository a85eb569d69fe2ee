// Lists of object pointers: _objlist, which frees the items it drops through a virtual dofree
// when it owns them, and the typed tobjlist over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "ortolib/core/component.h"
#include "ortolib/core/podlist.h"

namespace pt {

// list_flags bits.
inline constexpr std::uint32_t own_objects = 1;        // the list frees the items it drops
inline constexpr std::uint32_t case_sensitive = 0x10;  // compare overrides compare keys byte-exact

// Pointer items, 8 bytes each, new slots null. The default dofree and compare are fatal
// (0xC0026): a list that owns objects or compares keys must override them. The destructor
// frees the storage only; owned items are freed by the most derived list's destructor, which
// calls set_count(0) while its own dofree is still in force (tobjlist does).
class _objlist : public unknown, public tpodlist<void*, true> {
 public:
  std::uint32_t list_flags = 0;

  explicit _objlist(bool own_objects_flag);
  ~_objlist() override;

  // Lowering the count of an owning list first frees the dropped items, in index order;
  // raising it adds null slots.
  void set_count(std::int32_t n);
  // Calls dofree on the n items from index on, in ascending order.
  void free_range(std::int32_t index, std::int32_t n);

  virtual void dofree(void* item);
  // Orders key against item: negative, 0 or positive.
  virtual std::int32_t compare(const void* key, const void* item);
};

// Walks the pointer slots of an object list, giving each as a T* (null for an empty slot).
template <class T>
class object_iterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = T*;
  using difference_type = std::ptrdiff_t;
  using pointer = void;
  using reference = T*;

  object_iterator() = default;
  explicit object_iterator(void* const* first) : slot(first) {}

  T* operator*() const { return static_cast<T*>(*slot); }
  object_iterator& operator++() {
    ++slot;
    return *this;
  }
  // NOLINTNEXTLINE(cert-dcl21-cpp): a const copy would not be a standard forward iterator
  object_iterator operator++(int) {
    object_iterator before = *this;
    ++slot;
    return before;
  }
  friend bool operator==(const object_iterator&, const object_iterator&) = default;

 private:
  void* const* slot = nullptr;
};

// An owning (or not) list of T pointers whose dofree deletes a T.
template <class T>
class tobjlist : public _objlist {
 public:
  explicit tobjlist(bool own_objects_flag) : _objlist(own_objects_flag) {}
  ~tobjlist() override { set_count(0); }

  void dofree(void* item) override { delete static_cast<T*>(item); }

  T* item(std::int32_t i) const { return static_cast<T*>(_objlist::item(i)); }
  T* operator[](std::int32_t i) const { return item(i); }

  // The items in index order, each as its T*, through which it can be changed in place:
  //   for (T* object : list) object->update();
  // Valid until the count or the capacity changes.
  object_iterator<T> begin() const { return object_iterator<T>(_objlist::begin()); }
  object_iterator<T> end() const { return object_iterator<T>(_objlist::end()); }
  void insert(std::int32_t index, T* object) { _objlist::insert(index, object); }
  std::int32_t add(T* object) { return _objlist::add(object); }
};

}  // namespace pt
